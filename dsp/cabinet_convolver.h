// CabinetConvolver: zero-latency convolution with an impulse response of up to
// 65536 taps (mono, or a stereo pair packed as one complex response).
//
// The response is split into a direct-form head of L taps and two uniformly
// partitioned overlap-save FFT stages (partitions of L, then of M taps), the
// sizes taken from the `NLM` table by the response length. Each stage
// transforms frames of two consecutive blocks (2L or 2M samples) whose
// partition spectra carry their taps in the second half, so the first half of
// the inverse transform is the alias-free part, played during the following
// block. The multiply-adds of the older partitions are spread over the samples
// of a block (the odd ones in mono, every one in stereo); only the two
// transforms of the newest frame fall on a block's last sample. A call that
// covers a whole mono block does its multiply-adds and its end in one pass;
// the head runs over up to 128 samples at a time. Every output sample is the
// full convolution sum up to and including its input sample.
//
// Storage is sized for the loaded response (about 60 KB for 1024 mono taps)
// and only grows: Reserve sizes it ahead, so that later loads of responses up
// to that length allocate nothing and can run on the audio thread. A load
// clears only what the new response uses.
#pragma once

#include <cstddef>
#include <memory>

class CabinetConvolver {
public:
    // {N, L, M}: the longest response a row serves, the head length and
    // stage-1 partition size, the stage-2 partition size. P1 = M/L - 1 and
    // P2 = N/M - 1 partitions.
    static constexpr int NLM[17][3] = {
        {1, 1, 1},         {2, 2, 2},         {4, 4, 4},       {8, 8, 8},       {16, 16, 16},
        {32, 8, 32},       {64, 16, 64},      {128, 16, 128},  {256, 16, 64},   {512, 16, 64},
        {1024, 16, 128},   {2048, 32, 256},   {4096, 32, 512}, {8192, 32, 512}, {16384, 64, 1024},
        {32768, 64, 1024}, {65536, 64, 2048},
    };
    static constexpr int maxLength = 65536;

    // Starts with the identity (an 8-tap unit impulse, a pure head): a fresh
    // convolver passes its input unchanged. It holds no storage for the
    // partitioned stages until a longer response is reserved or loaded.
    CabinetConvolver();
    CabinetConvolver(const CabinetConvolver&) = delete;
    CabinetConvolver& operator=(const CabinetConvolver&) = delete;

    // Grows the storage (never shrinks it) so that responses of up to
    // `length` taps, mono or stereo as given, load without allocating. The
    // loaded response and the running state are kept.
    void Reserve(int length, bool mono);
    // Bytes of storage held for the stages.
    std::size_t StorageBytes() const { return capacity * sizeof(double); }

    // Loads a response and restarts from silence. `right` is read only for a
    // stereo response. Lengths above 65536 are cut; non-finite taps load as 0.
    // Allocates only when the response needs more storage than reserved.
    void SetImpulse(const double* left, const double* right, int length, bool mono);

    // Mono response: the convolution into outLeft, copied to outRight; stereo:
    // one output per channel. Each input sample is read before any output is
    // written, so `in` may be one of the outputs.
    void process(const double* in, double* outLeft, double* outRight, int n);
    void process_mono(const double* in, double* out, int n);
    void process_stereo(const double* in, double* outLeft, double* outRight, int n);
    // The mono loop in place.
    void process_iphone(double* buffer, int n);

    // The loaded row's arrays, laid out one after the other in `storage`, all
    // 64-byte aligned (the transforms then take their allocation-free plans).
    // Per stage of partition size S and P partitions:
    //   spectra P partition spectra; mono: S + 1 bins scaled for the inverse,
    //          split: the real parts of bins 0 .. S-1, their imaginary parts,
    //          then bin S and a 0 (2S + 2 values); stereo: 4S values, the
    //          complex spectrum of 2S values
    //   frames P + 1 input frames; mono: 2S samples, then room for their
    //          transform (2S + 2), whose bins 0 .. S-1 then replace the
    //          samples, split, bin S staying behind them; stereo: 2S samples,
    //          transformed in place
    //   acc    the next block's spectrum (mono 2S + 2, stereo 4S; stereo
    //          leaves its time output there too)
    //   out    mono: the next block's time output (2S)
    //   w      stereo: transform work area (4S + 2)
    // specStride and frameStride are the distances between partitions and
    // between frames.
    double* spec1 = nullptr;
    double* spec2 = nullptr;
    double* frames1 = nullptr;
    double* frames2 = nullptr;
    double* acc1 = nullptr;
    double* acc2 = nullptr;
    double* out1 = nullptr;
    double* out2 = nullptr;
    double* w1 = nullptr;
    double* w2 = nullptr;
    int specStride1 = 0, specStride2 = 0;
    int frameStride1 = 0, frameStride2 = 0;
    // Frame pointers: [0] receives the current block in its first half, [1] in
    // its second half, [2] .. [P] hold older frames' spectra, newest first
    // (mono: behind the frame's samples).
    double* slot1[32] = {};
    double* slot2[32] = {};
    double firRing[64]; // the last L input samples, oldest first
    double headLeft[64];
    double headRight[64];
    int stereoPos1 = 0; // stereo output position in acc1 (even)
    int pos1 = 0;       // sample position in the stage-1 block
    int pos1L = 0;      // pos1 + L
    int stereoPos2 = 0;
    int pos2 = 0;
    int pos2L = 0;
    int L = 8, P1 = 0;
    int M = 8, P2 = 0;
    bool mono = true;

private:
    struct FreeAligned {
        void operator()(double* p) const;
    };
    std::unique_ptr<double[], FreeAligned> storage;
    std::size_t capacity = 0; // doubles

    // Offsets of one layout in `storage` (in doubles) and its total size.
    struct Layout {
        std::size_t spec1, spec2, frames1, frames2, acc1, acc2, out1, out2, w1, w2, total;
        int specStride1, specStride2, frameStride1, frameStride2;
    };
    static Layout LayoutFor(int row, bool mono);
    static int RowFor(int length);
    // Points the arrays into `storage` by `layout`.
    void Place(const Layout& layout);
    // Moves everything to a new, larger block of storage.
    void Grow(std::size_t doubles);

    // One stage's arrays and running position, copied into locals for a call.
    struct Stage {
        double* spectra;
        int stride;
        double** slot;
        double* acc;
        double* out;
        double* work;
        int spectrumAt; // offset of a frame's transform from its samples
        int size;       // partition size S: frames of 2S samples
        int partitions;
        int pos;
    };
    Stage StageOne();
    Stage StageTwo();
    void StoreStages(const Stage& one, const Stage& two);
    // Samples per span of Run: the head, then each stage, over a span at a time.
    static constexpr int span = 128;
    template <bool Stereo> void Run(const double* in, double* outLeft, double* outRight, int n);
    void Head(const double* history, int count, double* left, double* right, bool stereo);
    template <bool Stereo>
    static void Pass(Stage& s, const double* x, double* left, double* right, int count);
    static void MonoShare(Stage& s, int first, int count);
    static void StereoShare(Stage& s, int first, int count);
    static void EndMonoBlock(Stage& s);
    static void FullMonoBlock(Stage& s);
    static void EndStereoBlock(Stage& s);
    static void Rotate(Stage& s);
};

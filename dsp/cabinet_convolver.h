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
// transforms of the newest frame fall on a block's last sample. Every output
// sample is the full convolution sum up to and including its input sample.
//
// All storage is fixed inside the object (about 3.3 MB): nothing is allocated
// or freed, so create it on the heap or as a member of a heap object.
#pragma once

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
    // convolver passes its input unchanged.
    CabinetConvolver();
    CabinetConvolver(const CabinetConvolver&) = delete;
    CabinetConvolver& operator=(const CabinetConvolver&) = delete;

    // Loads a response and restarts from silence. `right` is read only for a
    // stereo response. Lengths above 65536 are cut; non-finite taps load as 0.
    void SetImpulse(const double* left, const double* right, int length, bool mono);

    // Mono response: the convolution into outLeft, copied to outRight; stereo:
    // one output per channel. Each input sample is read before any output is
    // written, so `in` may be one of the outputs.
    void process(const double* in, double* outLeft, double* outRight, int n);
    void process_mono(const double* in, double* out, int n);
    void process_stereo(const double* in, double* outLeft, double* outRight, int n);
    // The mono loop in place.
    void process_iphone(double* buffer, int n);

    // Storage, sized for the largest row in either mode: 31 partition spectra
    // of up to 256 (stage 1) and 8192 (stage 2) values, 32 input frames of up
    // to 128 and 4096 samples. The loaded row's spectra and frames lie packed
    // one after the other (spectrum p at p 2S in mono, p 4S in stereo; frame
    // k at k 2S), so that a block's work stays within a few cache ways.
    // Transform inputs are 64-byte aligned: the transforms then take their
    // allocation-free plans.
    alignas(64) double spec1[31 * 256];
    alignas(64) double spec2[31 * 8192];
    alignas(64) double frames1[32 * 128];
    alignas(64) double frames2[32 * 4096];
    alignas(64) double acc1[256]; // next block's spectrum, then its output
    alignas(64) double acc2[8192];
    alignas(64) double w1[264]; // transform work areas (4L + 2, 4M + 2)
    alignas(64) double w2[8200];
    // Frame pointers: [0] receives the current block in its first half, [1] in
    // its second half, [2] .. [P] hold older frames' spectra, newest first.
    double* slot1[32];
    double* slot2[32];
    double firRing[64];
    double headLeft[64];
    double headRight[64];
    int firPos = 0;
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
    // One stage's arrays and running position, copied into locals for a call.
    struct Stage {
        double* spectra;
        int stride;
        double** slot;
        double* acc;
        double* work;
        int size; // partition size S: frames of 2S samples
        int partitions;
        int pos;
    };
    Stage StageOne();
    Stage StageTwo();
    void StoreStages(const Stage& one, const Stage& two);
    template <bool Stereo> void Run(const double* in, double* outLeft, double* outRight, int n);
    void Head(const double* x, int count, double* left, double* right, bool stereo);
    static void Enter(Stage& s, const double* x, int count);
    static void MonoShare(Stage& s, int first, int count);
    static void StereoShare(Stage& s, int first, int count);
    static void EndMonoBlock(Stage& s);
    static void EndStereoBlock(Stage& s);
    static void Rotate(Stage& s);
};

// CFileSelector, the older generation's file selector (the RTAS plug-in's):
// it hands the request, a VST 2.4 file-selector record, to the host (host
// request 45), which shows its own dialog and writes the chosen path into the
// record's return path; then it tells the host the request is over (host
// request 46).
#pragma once

class AudioEffectX;
struct VstFileSelect;

class CFileSelector {
public:
    explicit CFileSelector(AudioEffectX* owner) : effect(owner) {}
    // 1 when the host ran the request, 0 when it did not (or without an
    // effect or a record).
    long run(VstFileSelect* select);

private:
    AudioEffectX* effect;
};

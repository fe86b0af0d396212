// MonoBuffer: a resizable array of doubles, zeroed whenever its length changes.
//
// The storage only ever grows: a change of length re-zeroes the first n
// elements of the existing allocation, so once a buffer has seen the largest
// block of a session the audio thread never allocates again.
#pragma once

class MonoBuffer {
public:
    MonoBuffer();
    ~MonoBuffer();
    MonoBuffer(const MonoBuffer&) = delete;
    MonoBuffer& operator=(const MonoBuffer&) = delete;

    // When n differs from the present length: length n, all elements 0.
    void CheckBuffer(int n);
    void Resize(int n) { CheckBuffer(n); }
    // Grows the storage to at least n elements without touching the length.
    void Reserve(int n);

    void Clear();
    void Clear(int n);
    void Set(const double* src);
    void Set(const double* src, int n);
    void SetInverted(const double* src);
    void SetInverted(const double* src, int n);
    void Get(double* dst) const;
    void Get(double* dst, int n);
    void GetInverted(double* dst) const;
    void GetInverted(double* dst, int n);
    void Scale(double k);
    void Scale(double k, int n);
    void Shift(double k);
    void Shift(double k, int n);
    void Add(const double* src);
    void Add(const double* src, int n);
    void Subtract(const double* src);
    void Subtract(const double* src, int n);
    void Multiply(const double* src);
    void Multiply(const double* src, int n);

    double* data = nullptr;
    int size = 0;
    int capacity = 0;
};

#include "dsp/mono_buffer.h"

#include <algorithm>
#include <cstring>

MonoBuffer::MonoBuffer() : data(new double[1]{0.0}), size(1), capacity(1) {}

MonoBuffer::~MonoBuffer() {
    delete[] data;
    data = nullptr;
}

void MonoBuffer::Reserve(int n) {
    if (n <= capacity) return;
    double* grown = new double[static_cast<unsigned>(n)]();
    if (data != nullptr) std::memcpy(grown, data, sizeof(double) * static_cast<unsigned>(size));
    delete[] data;
    data = grown;
    capacity = n;
}

void MonoBuffer::CheckBuffer(int n) {
    if (n == size) return;
    if (n < 0) n = 0;
    if (n > capacity) {
        delete[] data;
        data = new double[static_cast<unsigned>(n)];
        capacity = n;
    }
    size = n;
    std::fill(data, data + size, 0.0);
}

void MonoBuffer::Clear() {
    std::fill(data, data + size, 0.0);
}
void MonoBuffer::Clear(int n) {
    CheckBuffer(n);
    Clear();
}

void MonoBuffer::Set(const double* src) {
    for (int i = 0; i < size; ++i)
        data[i] = src[i];
}
void MonoBuffer::Set(const double* src, int n) {
    CheckBuffer(n);
    Set(src);
}

void MonoBuffer::SetInverted(const double* src) {
    for (int i = 0; i < size; ++i)
        data[i] = -src[i];
}
void MonoBuffer::SetInverted(const double* src, int n) {
    CheckBuffer(n);
    SetInverted(src);
}

void MonoBuffer::Get(double* dst) const {
    for (int i = 0; i < size; ++i)
        dst[i] = data[i];
}
void MonoBuffer::Get(double* dst, int n) {
    CheckBuffer(n);
    Get(dst);
}

void MonoBuffer::GetInverted(double* dst) const {
    for (int i = 0; i < size; ++i)
        dst[i] = -data[i]; // negation flips the sign bit only
}
void MonoBuffer::GetInverted(double* dst, int n) {
    CheckBuffer(n);
    GetInverted(dst);
}

void MonoBuffer::Scale(double k) {
    for (int i = 0; i < size; ++i)
        data[i] *= k;
}
void MonoBuffer::Scale(double k, int n) {
    CheckBuffer(n);
    Scale(k);
}

void MonoBuffer::Shift(double k) {
    for (int i = 0; i < size; ++i)
        data[i] += k;
}
void MonoBuffer::Shift(double k, int n) {
    CheckBuffer(n);
    Shift(k);
}

void MonoBuffer::Add(const double* src) {
    for (int i = 0; i < size; ++i)
        data[i] += src[i];
}
void MonoBuffer::Add(const double* src, int n) {
    CheckBuffer(n);
    Add(src);
}

void MonoBuffer::Subtract(const double* src) {
    for (int i = 0; i < size; ++i)
        data[i] -= src[i];
}
void MonoBuffer::Subtract(const double* src, int n) {
    CheckBuffer(n);
    Subtract(src);
}

void MonoBuffer::Multiply(const double* src) {
    for (int i = 0; i < size; ++i)
        data[i] *= src[i];
}
void MonoBuffer::Multiply(const double* src, int n) {
    CheckBuffer(n);
    Multiply(src);
}

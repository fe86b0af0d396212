// Reference counting of bitmaps and views. An object starts with one
// reference, held by whoever made it; `remember` adds one, `forget` drops one
// and deletes the object when none is left.
#pragma once

class CReferenceCounter {
public:
    CReferenceCounter() = default;
    CReferenceCounter(const CReferenceCounter&) = delete;
    CReferenceCounter& operator=(const CReferenceCounter&) = delete;
    virtual ~CReferenceCounter() = default;

    void remember() { ++references; }
    void forget() {
        if (--references <= 0) delete this;
    }
    long getNbReference() const { return references; }

private:
    long references = 1;
};

#include "main/refptr.h"

#include <gtest/gtest.h>

namespace {

// Counts live references in the style of our own objects or of COM objects.
struct Counter {
    int references = 1;
    int* destroyed;
    explicit Counter(int* d) : destroyed(d) {}
};

struct Lower : Counter {
    using Counter::Counter;
    void addRef() { ++references; }
    void release() {
        if (--references == 0) {
            ++*destroyed;
            delete this;
        }
    }
};

struct Upper : Counter {
    using Counter::Counter;
    unsigned long AddRef() { return static_cast<unsigned long>(++references); }
    unsigned long Release() {
        const int left = --references;
        if (left == 0) {
            ++*destroyed;
            delete this;
        }
        return static_cast<unsigned long>(left);
    }
};

template <class T>
void checkOwnership() {
    int destroyed = 0;
    {
        RefPtr<T> a = RefPtr<T>::adopt(new T(&destroyed));
        EXPECT_EQ(a->references, 1);
        {
            RefPtr<T> b = a;
            EXPECT_EQ(a->references, 2);
            RefPtr<T> c = std::move(b);
            EXPECT_FALSE(b);
            EXPECT_EQ(a->references, 2);
        }
        EXPECT_EQ(a->references, 1);
        a = a; // self-assignment keeps the one reference
        EXPECT_EQ(a->references, 1);
    }
    EXPECT_EQ(destroyed, 1);
}

} // namespace

TEST(RefPtr, CopiesAddAndDestructionReleasesForBothSpellings) {
    checkOwnership<Lower>();
    checkOwnership<Upper>();
}

TEST(RefPtr, PutReleasesWhatItHeldBeforeTheSlotIsRefilled) {
    int destroyed = 0;
    RefPtr<Upper> p = RefPtr<Upper>::adopt(new Upper(&destroyed));
    Upper** slot = p.put();
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(*slot, nullptr);
    *slot = new Upper(&destroyed); // a creation call hands over one reference
    p.reset();
    EXPECT_EQ(destroyed, 2);
}

TEST(RefPtr, ShareAddsAReferenceAndDetachHandsOneOver) {
    int destroyed = 0;
    auto* raw = new Lower(&destroyed);
    {
        RefPtr<Lower> shared = RefPtr<Lower>::share(raw);
        EXPECT_EQ(raw->references, 2);
    }
    EXPECT_EQ(raw->references, 1);
    RefPtr<Lower> owner = RefPtr<Lower>::adopt(raw);
    Lower* handed = owner.detach();
    EXPECT_FALSE(owner);
    EXPECT_EQ(destroyed, 0);
    handed->release();
    EXPECT_EQ(destroyed, 1);
}

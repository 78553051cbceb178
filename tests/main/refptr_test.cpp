#include "main/refptr.h"

#include <gtest/gtest.h>

namespace {

// Counts references in the style of our own objects or of COM objects. The test owns the memory;
// `released` counts the times the last reference went.
struct Counter {
    int references = 1;
    int released = 0;
};

struct Lower : Counter {
    void addRef() { ++references; }
    void release() { released += --references == 0; }
};

struct Upper : Counter {
    unsigned long AddRef() { return static_cast<unsigned long>(++references); }
    unsigned long Release() {
        released += --references == 0;
        return static_cast<unsigned long>(references);
    }
};

template <class T>
void checkOwnership() {
    T object;
    {
        RefPtr<T> a = RefPtr<T>::adopt(&object);
        {
            RefPtr<T> b = a;
            EXPECT_EQ(object.references, 2);
            RefPtr<T> c = std::move(b);
            EXPECT_FALSE(b);
            EXPECT_EQ(object.references, 2);
        }
        EXPECT_EQ(object.references, 1);
        const RefPtr<T>& same = a;
        a = same; // assigning the pointer to itself keeps the one reference
        EXPECT_EQ(object.references, 1);
    }
    EXPECT_EQ(object.released, 1);
}

} // namespace

TEST(RefPtr, CopiesAddAndDestructionReleasesForBothSpellings) {
    checkOwnership<Lower>();
    checkOwnership<Upper>();
}

TEST(RefPtr, PutShareAndDetachHandOverExactlyOneReference) {
    Upper first, second;
    RefPtr<Upper> p = RefPtr<Upper>::adopt(&first);
    Upper** slot = p.put();
    EXPECT_EQ(first.released, 1);
    EXPECT_EQ(*slot, nullptr);
    *slot = &second; // a creation call hands over one reference
    {
        RefPtr<Upper> shared = RefPtr<Upper>::share(&second);
        EXPECT_EQ(second.references, 2);
    }
    EXPECT_EQ(p.detach(), &second);
    EXPECT_FALSE(p);
    EXPECT_EQ(second.references, 1);
    EXPECT_EQ(second.released, 0);
}

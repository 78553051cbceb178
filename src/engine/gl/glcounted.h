#pragma once

#include "engine/d3d/d3d9.h"

// The reference count of a native renderer object implementing Interface: created with one
// reference, deleted by the last Release.
template <class Interface>
class GlCounted : public Interface {
public:
    GlCounted() = default;
    GlCounted(const GlCounted&) = delete;
    GlCounted& operator=(const GlCounted&) = delete;

    // Adds a reference.
    d3d::ULONG AddRef() override { return ++m_references; }
    // Drops a reference; the last one deletes the object.
    d3d::ULONG Release() override {
        const d3d::ULONG left = --m_references;
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    ~GlCounted() override = default;

private:
    d3d::ULONG m_references = 1;
};

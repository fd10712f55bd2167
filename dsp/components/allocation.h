#pragma once
// Components never throw: every array is obtained with nothrow allocation, and a factory hands
// out a component only when all of its memory could be obtained (allocated() reports that).

#include <cstddef>
#include <new>
#include <utility>

namespace ve32 {

template <class T>
T* allocateArray(std::size_t count) {
    return new (std::nothrow) T[count];
}

template <class Component, class... Args>
Component* makeComponent(Args&&... args) {
    Component* component = new (std::nothrow) Component(std::forward<Args>(args)...);
    if (component != nullptr && !component->allocated()) {
        delete component;
        return nullptr;
    }
    return component;
}

}  // namespace ve32

#pragma once

namespace tessora {

// Stores `value` in `field` and tells whether that changed anything; a setter reacts only then.
template <typename T>
bool changeValue(T& field, const T& value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

}  // namespace tessora

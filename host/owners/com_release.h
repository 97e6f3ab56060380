// Gives back a COM object the host holds, if it holds one, and forgets it.
#pragma once

template <typename T>
void release(T *&object)
{
    if (object) object->Release();
    object = nullptr;
}

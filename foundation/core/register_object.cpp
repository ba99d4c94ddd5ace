#include "foundation/core/register_object.h"

void RegisterObject(const void* object)
{
    (void)object;
}

#pragma once
// The construction hook every engine factory calls with the object it has just built.
// It does nothing; it is the one place to observe object creation from a debugger.

void RegisterObject(const void* object);

#pragma once

namespace tolvanrise::test {

// Points SDL at its dummy video and audio drivers unless the caller chose others,
// so no suite ever needs a display or a sound card.
void UseHeadlessDrivers();

} // namespace tolvanrise::test

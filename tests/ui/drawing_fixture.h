// Damaged drawings for the wizard's tests and screenshots: small .odg containers laid out as an
// office program writes them, with the central directory lost, so that the engine has real
// salvage to do and saves a repaired copy.
#pragma once

#include <QString>

#include <cstdint>

namespace uifixture {

// Writes a damaged drawing to path, its picture made from seed; false when it cannot be written.
[[nodiscard]] bool writeDamagedDrawing(const QString& path, std::uint32_t seed = 1);

} // namespace uifixture

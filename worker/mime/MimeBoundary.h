// Multipart boundaries: "__=_Part_Boundary_" + a three-digit counter + two
// six-digit pseudo-random numbers. The counter is process-wide and runs
// 001 to 009, then starts again at 001; the generator is reseeded for every
// boundary (from the clock and the message's address), so two boundaries of
// the same second and the same message address differ in the counter only.
// Messages are composed on one thread; neither is locked.
#pragma once
#include <cstdint>
#include <string>

// Seeds the boundary's pseudo-random generator.
void SeedBoundaryRandom(uint32_t seed);
// Next number of the generator, 0 to 32767.
int DrawBoundaryRandom();
// The seed of a boundary made now for the entity at `owner`: the low 32
// bits of the time in seconds XOR the address.
uint32_t BoundarySeed(const void* owner);
// Seeds, advances the counter, draws r1 then r2 and formats
// "__=_Part_Boundary_<counter>_<r2>.<r1>".
std::string GenerateBoundary(uint32_t seed);

// Boundary generator: a linear congruential generator giving 15-bit numbers
// and the process-wide counter.
#include "worker/mime/MimeBoundary.h"

#include <cstdio>
#include <ctime>

namespace {

uint32_t randomState = 1;
int boundaryCounter = 0;

}  // namespace

void SeedBoundaryRandom(uint32_t seed)
{
    randomState = seed;
}

int DrawBoundaryRandom()
{
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFF);
}

uint32_t BoundarySeed(const void* owner)
{
    const auto now = static_cast<uint32_t>(static_cast<uint64_t>(std::time(nullptr)));
    return now ^ static_cast<uint32_t>(reinterpret_cast<uintptr_t>(owner));
}

std::string GenerateBoundary(uint32_t seed)
{
    SeedBoundaryRandom(seed);
    ++boundaryCounter;
    const int first = DrawBoundaryRandom();
    const int second = DrawBoundaryRandom();
    char text[80];
    std::snprintf(text, sizeof text, "__=_Part_Boundary_%03d_%06d.%06d", boundaryCounter, second, first);
    if (boundaryCounter >= 9) boundaryCounter = 0;
    return text;
}

// A busy channel as the gateway sends it: a fixed, seeded mix of every event
// code the console reacts to, plus codes it ignores, each line ended by CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// `lines` lines of mixed events. The same seed gives the same bytes. No
// information line names a bot (bot1..bot10), so none makes a bot rejoin.
std::string MixedStream(std::size_t lines, std::uint32_t seed = 6112);

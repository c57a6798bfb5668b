#pragma once

#include <cstdint>

// The AES block transform of FIPS-197 on one 16-byte block, portable C++. Round keys are kept
// as bytes in the standard's order so that the processor kernels can use the same schedules.
namespace qm::crypto::detail {

inline constexpr int kAesBlockSize = 16;
inline constexpr int kAesMaxRounds = 14;
inline constexpr int kAesScheduleBytes = 16 * (kAesMaxRounds + 1);  // 240

// Expands a key of 4 * (rounds - 6) bytes into rounds + 1 round keys.
void AesExpandKey(const std::uint8_t* key, int rounds, std::uint8_t* encrypt_schedule);

// Builds the equivalent-inverse-cipher schedule: round keys 1 .. rounds - 1 pass through
// InvMixColumns; the order stays forward.
void AesMakeDecryptSchedule(const std::uint8_t* encrypt_schedule, int rounds,
                            std::uint8_t* decrypt_schedule);

void AesEncryptBlockPortable(const std::uint8_t* encrypt_schedule, int rounds, std::uint8_t* block);
void AesDecryptBlockPortable(const std::uint8_t* decrypt_schedule, int rounds, std::uint8_t* block);

}  // namespace qm::crypto::detail

#pragma once
// Routing codes of the player's main output and of the capture channels. A code is a position
// among the open device's active channels (0 is the lowest active channel) or -1 for none; the
// main output also takes 99 + k for the pair of positions k - 1 and k. Whether a position exists
// depends on the device, so every user checks it against the channels of the block at hand.
//
// Plain constant expressions; any thread.
namespace PellmixChannelCode
{
constexpr int none = -1;
constexpr int pairBase = 99; // 99 + k: the pair k - 1 / k

// The main-output code of the pair whose right position is k (k >= 1).
constexpr int pair (int rightPosition) noexcept
{
    return pairBase + rightPosition;
}

// A single position: a main-output code below the pair codes.
constexpr bool isSingle (int code) noexcept
{
    return code >= 0 && code < pairBase;
}

constexpr bool isPair (int code) noexcept
{
    return code > pairBase;
}

// The right position k of a pair code; the left one is k - 1.
constexpr int pairRight (int code) noexcept
{
    return code - pairBase;
}

// A main-output code read from a file: kept when it can name a channel or pair, else none.
constexpr int validMainOutput (int code) noexcept
{
    return isSingle (code) || isPair (code) ? code : none;
}

// A capture channel position read from a file: kept when it can name a channel, else none.
constexpr int validPosition (int position) noexcept
{
    return position >= 0 ? position : none;
}
} // namespace PellmixChannelCode

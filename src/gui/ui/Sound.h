#pragma once

#include <QString>
#include <functional>

// Plays the reminder sound. Tests replace the player, since a test machine may have no sound card.
namespace Sound {
using Player = std::function<void(const QString& wavPath)>;

// Plays the file, or the platform's default sound when it is missing or cannot be played.
void play(const QString& wavPath);
void setPlayer(Player player);
Player player();

// The platform's default sound; tests replace it too.
void setBeeper(std::function<void()> beeper);

// True for a WAV file a sound effect can play: RIFF/WAVE with a PCM or float format chunk of 1 to 8
// channels and 8 to 32 bits, and a data chunk that holds samples.
bool IsPlayableWav(const QString& wavPath);
} // namespace Sound

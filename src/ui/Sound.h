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
} // namespace Sound

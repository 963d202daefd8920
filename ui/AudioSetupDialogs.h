#pragma once

class PellmixConfig;

// The two fixed dialog sequences, run modally on the message thread. A quit asked for while a
// dialog is open (SIGINT, for example) closes it and abandons the rest of the sequence: nothing
// more is shown or saved.
// Audio setup: "Audio device settings", the readiness flag, then the routing sequence.
void runAudioSetupSequence (PellmixConfig& config);
// First run: the audio setup sequence, only when no output device could be opened.
void runFirstAudioSetup (PellmixConfig& config);
// Routing: "Hardware I/O options", then the settings file and the device state are saved.
void runRoutingSequence (PellmixConfig& config);

// True once the application was asked to quit; the message loop then ends.
bool isQuitRequested();

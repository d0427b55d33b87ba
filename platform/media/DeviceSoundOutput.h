// The sound output that plays through the system's default audio device (private to platform/media).
#pragma once

#include <memory>

#include "platform/media/MMSystem.h"

[[nodiscard]] std::unique_ptr<TSoundOutput> CreateDeviceSoundOutput();

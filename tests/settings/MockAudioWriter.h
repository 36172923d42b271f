#pragma once

#include <gmock/gmock.h>

#include "AudioMocks.h"

namespace snipwave::test {

// A writer whose format checks the test decides. Everything else is unused by
// the dialogs and fails the test if called.
using MockAudioWriter = MockAudioFile2;

}  // namespace snipwave::test

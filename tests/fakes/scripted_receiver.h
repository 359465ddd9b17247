#pragma once

// The scripted receiver lives in tests/support; test_transfer_failures still includes it here.
#include "support/scripted_receiver.h"

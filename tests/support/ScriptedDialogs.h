#pragma once

#include "ScriptedAnswers.h"
#include "gui/DialogProvider.h"

// The Qt window's dialogs, answered as a test scripts them.
using ScriptedDialogs = ScriptedAnswers<DialogProvider>;

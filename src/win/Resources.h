#pragma once

// Identifiers of the program's resources, shared by quillon.rc and the code.
#define IDI_QUILLON 1
#define IDR_HELP_HTML 2

// Resource identifiers shared by the resource scripts and the shell's code.
#pragma once

#define IDI_APP 1

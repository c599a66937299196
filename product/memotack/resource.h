// Resource ids of Memotack.
#pragma once

#define IDI_MEMOTACK 1

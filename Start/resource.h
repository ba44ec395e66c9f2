// Resource IDs of Start.
#pragma once
#define IDR_MANIFEST 1

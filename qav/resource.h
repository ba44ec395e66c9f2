// Resource IDs of qav.
#pragma once
#define IDR_MANIFEST 1
#define IDR_STUB_IMAGE 101

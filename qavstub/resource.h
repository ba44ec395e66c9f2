// Resource IDs of the installer stub.
#pragma once
#define IDI_STUB 1
#define IDR_MANIFEST 1

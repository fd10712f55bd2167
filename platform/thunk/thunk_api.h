#pragma once
#define VE_PLATFORM_THUNK_API __attribute__((visibility("default")))

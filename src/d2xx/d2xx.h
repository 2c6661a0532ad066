// SPDX-License-Identifier: GPL-3.0-or-later
// The USB-serial bridge API the worker talks to: the calls, types and status numbers of the
// bridge maker's D2XX driver, served by one of our own backends (see d2xx_backend.h).
#pragma once

#include <cstdint>

typedef void* FT_HANDLE;
typedef unsigned long FT_STATUS;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef uint8_t UCHAR;

constexpr FT_STATUS FT_OK = 0;
constexpr FT_STATUS FT_INVALID_HANDLE = 1;
constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
constexpr FT_STATUS FT_IO_ERROR = 4;
constexpr FT_STATUS FT_INSUFFICIENT_RESOURCES = 5;
constexpr FT_STATUS FT_INVALID_PARAMETER = 6;
constexpr FT_STATUS FT_INVALID_ARGS = 16;
constexpr FT_STATUS FT_NOT_SUPPORTED = 17;
constexpr FT_STATUS FT_OTHER_ERROR = 18;

constexpr DWORD FT_OPEN_BY_SERIAL_NUMBER = 1;
constexpr DWORD FT_OPEN_BY_DESCRIPTION = 2;

constexpr ULONG FT_PURGE_RX = 1;
constexpr ULONG FT_PURGE_TX = 2;

constexpr ULONG FT_FLAGS_OPENED = 1;
constexpr ULONG FT_DEVICE_232R = 5;

// One entry of the attached-device list.
struct FT_DEVICE_LIST_INFO_NODE
{
    ULONG Flags;
    ULONG Type;
    ULONG ID;
    DWORD LocId;
    char SerialNumber[16];
    char Description[64];
    FT_HANDLE ftHandle;
};

FT_STATUS FT_CreateDeviceInfoList(DWORD* num_devices);
FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, DWORD* num_devices);
FT_STATUS FT_OpenEx(void* arg, DWORD flags, FT_HANDLE* handle);
FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG read_timeout_ms, ULONG write_timeout_ms);
FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR latency_ms);
FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes_to_read, DWORD* bytes_read);
FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD bytes_to_write, DWORD* bytes_written);
FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* rx_bytes);
FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rx_bytes, DWORD* tx_bytes, DWORD* event_status);
FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask);
FT_STATUS FT_ResetDevice(FT_HANDLE handle);
FT_STATUS FT_Close(FT_HANDLE handle);

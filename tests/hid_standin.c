/* Stands in for Windows' HID and SetupAPI functions under Wine, which can
 * reach no HID device on a host without uhid. It is one relay board,
 * "USBRelay1" with the ID "STAND", whose device is the file that
 * VENTROLIK_TEST_HID names (no board when that is unset or empty). Each
 * report set on the board is appended to that file as a line,
 * "hid 00 ff 01 00 00 00 00 00 00"; a failed write is a refused report.
 *
 * Built once, and copied beside the program as hid.dll and setupapi.dll. It
 * proves what IO.DLL asks of these functions, not how Windows answers. */

#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#define EXPORT __declspec(dllexport)

typedef struct {
    ULONG Size;
    USHORT VendorID, ProductID, VersionNumber;
} Attributes;

typedef struct {
    DWORD cbSize;
    WCHAR DevicePath[1];
} InterfaceDetail;

static const WCHAR* board(void)
{
    static WCHAR path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"VENTROLIK_TEST_HID", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? path : NULL;
}

EXPORT void WINAPI HidD_GetHidGuid(GUID* guid)
{
    static const GUID hid = {0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    *guid = hid;
}

EXPORT BOOLEAN WINAPI HidD_GetAttributes(HANDLE device, Attributes* attributes)
{
    (void)device;
    attributes->VendorID = 0x16c0;
    attributes->ProductID = 0x05df;
    attributes->VersionNumber = 0x0100;
    return TRUE;
}

EXPORT BOOLEAN WINAPI HidD_GetProductString(HANDLE device, void* buffer, ULONG bytes)
{
    (void)device;
    return bytes >= sizeof L"USBRelay1" && lstrcpyW(buffer, L"USBRelay1");
}

EXPORT BOOLEAN WINAPI HidD_GetFeature(HANDLE device, void* buffer, ULONG bytes)
{
    (void)device;
    if (bytes != 9)
        return FALSE;
    memset(buffer, 0, bytes);
    memcpy((char*)buffer + 1, "STAND", 5);
    return TRUE;
}

EXPORT BOOLEAN WINAPI HidD_SetFeature(HANDLE device, void* buffer, ULONG bytes)
{
    char line[64] = "hid";
    for (ULONG i = 0; i < bytes && i < 16; ++i)
        sprintf(line + 3 + 3 * i, " %02x", ((unsigned char*)buffer)[i]);
    strcat(line, "\n");
    DWORD written = 0;
    SetFilePointer(device, 0, NULL, FILE_END);
    return WriteFile(device, line, (DWORD)strlen(line), &written, NULL) && written == strlen(line);
}

EXPORT HANDLE WINAPI SetupDiGetClassDevsW(const GUID* guid, const WCHAR* enumerator, HWND parent, DWORD flags)
{
    (void)guid, (void)enumerator, (void)parent, (void)flags;
    return (HANDLE)1;
}

EXPORT BOOL WINAPI SetupDiEnumDeviceInterfaces(HANDLE set, void* device, const GUID* guid, DWORD index, void* data)
{
    (void)set, (void)device, (void)guid, (void)data;
    return index == 0 && board();
}

EXPORT BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HANDLE set, void* data, InterfaceDetail* detail, DWORD bytes,
                                                    DWORD* needed, void* device)
{
    (void)set, (void)data, (void)device;
    const WCHAR* path = board();
    const DWORD size = (DWORD)(offsetof(InterfaceDetail, DevicePath) + (lstrlenW(path) + 1) * sizeof(WCHAR));
    if (needed)
        *needed = size;
    if (!detail || bytes < size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    lstrcpyW(detail->DevicePath, path);
    return TRUE;
}

EXPORT BOOL WINAPI SetupDiDestroyDeviceInfoList(HANDLE set)
{
    (void)set;
    return TRUE;
}

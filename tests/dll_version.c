/* Prints the version resource of a DLL or program as Windows reads it.
 * usage: dll_version FILE */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(int argc, char **argv)
{
    DWORD unused = 0, size;
    void *data, *value;
    UINT len = 0;
    VS_FIXEDFILEINFO *info;
    if (argc != 2) return 2;
    size = GetFileVersionInfoSizeA(argv[1], &unused);
    if (size == 0) {
        printf("%s has no version resource\n", argv[1]);
        return 1;
    }
    data = malloc(size);
    if (!data || !GetFileVersionInfoA(argv[1], 0, size, data) ||
        !VerQueryValueA(data, "\\", (void **)&info, &len) || len < sizeof *info) {
        printf("cannot read the version resource of %s\n", argv[1]);
        free(data);
        return 1;
    }
    printf("file version %u.%u.%u.%u", (unsigned)HIWORD(info->dwFileVersionMS), (unsigned)LOWORD(info->dwFileVersionMS),
           (unsigned)HIWORD(info->dwFileVersionLS), (unsigned)LOWORD(info->dwFileVersionLS));
    if (VerQueryValueA(data, "\\StringFileInfo\\040904B0\\ProductName", &value, &len))
        printf(", product %s", (const char *)value);
    if (VerQueryValueA(data, "\\StringFileInfo\\040904B0\\FileVersion", &value, &len))
        printf(", version text %s", (const char *)value);
    if (VerQueryValueA(data, "\\StringFileInfo\\040904B0\\OriginalFilename", &value, &len))
        printf(", file %s", (const char *)value);
    printf("\n");
    free(data);
    return 0;
}

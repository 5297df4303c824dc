#pragma once
// The exit status of the program that the updater starts, read as a
// verdict on its start: the system ends a process that crashed, or that
// could not be loaded, with an NTSTATUS of its own; every other status,
// however early it comes, is the program's own way of ending.
#include <cstdint>
#include <string>

// Whether the status is one the system ends a crashed or unloadable process
// with: an error or warning NTSTATUS of the system's own facility
// (0xC000xxxx: 0xC0000005 access violation, 0xC0000409 fail-fast,
// 0xC0000135 DLL not found, ...; 0x80000001-0x80000004: 0x80000003
// breakpoint), but not 0xC000013A, which Ctrl+C and a closed console end a
// process with, nor a COM result such as 0x80004005.
// 0 and -1 (0xFFFFFFFF) are the program's.
bool IsFailedStartStatus(uint32_t status);

// "0xC0000005 (access violation)"; the hex digits alone for a status
// without a name here.
std::string DescribeExitStatus(uint32_t status);

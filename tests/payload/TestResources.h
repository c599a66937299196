#pragma once
// Resources of type "BINARY" linked into the payload tests, made at build time by
// make_test_archives.py. The numbers stay clear of the installer's own (128 to 139).

// Archives made by other tools, and one with bytes before it
#define IDR_TEST_INFOZIP 3001
#define IDR_TEST_PYTHON 3002
#define IDR_TEST_SEVENZIP 3003
#define IDR_TEST_PREPENDED 3004
// Entries with unusual names, timestamp blocks and faults, written field by field
#define IDR_TEST_CRAFTED 3005
// A stored entry of more than a megabyte, and one whose compressed data runs past the archive
#define IDR_TEST_MEMORY_READS 3006

// Payload archives for ExtractPayload
#define IDR_PAYLOAD_OK 3101
#define IDR_PAYLOAD_EMPTY 3102
#define IDR_PAYLOAD_TWO 3103
#define IDR_PAYLOAD_STORED 3104
#define IDR_PAYLOAD_NOTZIP 3105
#define IDR_PAYLOAD_BADCRC 3106
#define IDR_PAYLOAD_BADSIZE 3107
#define IDR_PAYLOAD_TRUNCATED 3108
#define IDR_PAYLOAD_HUGE 3109
#define IDR_PAYLOAD_OVERLIMIT 3110
#define IDR_PAYLOAD_CLAIMED 3111
#define IDR_PAYLOAD_LARGE 3112
#define IDR_PAYLOAD_LARGE_BADCRC 3113

// Plain resources for CResourceFile
#define IDR_TEST_HUNDRED 3201
#define IDR_TEST_ZERO 3202

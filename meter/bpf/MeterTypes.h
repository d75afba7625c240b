#pragma once

// What the meter's kernel programs and the service share: the records of their tables. Plain C,
// fixed sizes, read by both compilers alike.

#include <linux/types.h>

#define METER_COUNTS_MAX 16384
#define METER_NAMES_MAX 16384
#define METER_COMM_SIZE 16
#define METER_PATH_SIZE 256

enum
{
    METER_RECEIVED = 0,
    METER_SENT = 1
};

struct meter_owner
{
    __u32 tgid;
    __u32 uid;
    __u64 cgroup;
    __u64 netns;
    char comm[METER_COMM_SIZE];
};

// A socket made before the meter started has tgid 0: its user and control group tell whose it is.
struct meter_key
{
    __u32 tgid;
    __u32 uid;
    __u64 cgroup;
    __u32 ifindex;
    __u32 direction;
};

// What the wire carried: a segmented packet counts as the segments it became.
struct meter_count
{
    __u64 bytes;
    __u64 packets;
};

struct meter_name
{
    char comm[METER_COMM_SIZE];
    char path[METER_PATH_SIZE];
};

// Test helper: takes the instance lock in <folder> and reports the result on
// standard output ("Acquired", "HeldElsewhere" or "Unavailable"). With
// "spawn" it then starts a long-lived child that would inherit any
// inheritable descriptor and prints "child <pid>". It keeps the lock until
// its standard input closes.
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>

#include "platform/FlockInstanceLock.h"

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: lock_holder <folder> <name> [spawn]\n";
        return 2;
    }
    platform::FlockInstanceLock lock(argv[1]);
    const auto result = lock.Acquire(argv[2]);
    const char* names[] = {"Acquired", "HeldElsewhere", "Unavailable"};
    std::cout << names[static_cast<int>(result)] << std::endl;
    if (argc > 3 && std::strcmp(argv[3], "spawn") == 0) {
        pid_t child = 0;
        char sleepPath[] = "/bin/sleep";
        char seconds[] = "60";
        char* childArgs[] = {sleepPath, seconds, nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // The sleeper must not hold our standard output open either.
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&child, sleepPath, &actions, nullptr, childArgs, environ) != 0) return 3;
        posix_spawn_file_actions_destroy(&actions);
        std::cout << "child " << child << std::endl;
    }
    char buffer[64];
    while (::read(0, buffer, sizeof buffer) > 0) {
    }
    return 0;
}

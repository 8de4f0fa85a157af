/* SPDX-License-Identifier: MIT */
/* Loaded with LD_PRELOAD, makes every thread start fail as a host at its
 * process limit does (EAGAIN), so that the tests can run the programs
 * where no second thread can be had. */
#include <errno.h>
#include <pthread.h>

int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
    (void)thread;
    (void)attr;
    (void)start;
    (void)arg;
    return EAGAIN;
}

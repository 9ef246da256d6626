#!/usr/bin/env bash
# Mounts (or unmounts) a 24 KiB tmpfs: room for an old installation, not for the
# new game data beside it. Without the right to mount, the scenario is skipped.
set -u
action=$1 dir=$2
case $action in
  mount)
    mkdir -p "$dir"
    mountpoint -q "$dir" || mount -t tmpfs -o size=24k tmpfs "$dir" 2>/dev/null || rmdir "$dir"
    exit 0 ;;
  unmount)
    mountpoint -q "$dir" && umount "$dir"
    rmdir "$dir" 2>/dev/null
    exit 0 ;;
esac

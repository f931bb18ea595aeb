#!/bin/sh
# Stands in for a vesk that dies at start while a process it started (as
# WebKit's are) keeps its output open.
sleep 120 &
echo "left behind $!" >&2
echo "critical: the program could not start" >&2
exit 3

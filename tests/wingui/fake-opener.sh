#!/bin/sh
# Stands in for a web browser while the GUI tests click "Visit ...": writes
# the address down instead of opening it.
printf '%s\n' "$@" >> /tmp/qv-fake-open.log

#!/bin/sh
# Runs a Velrix program for help2man: help-for-man.sh PROGRAM OPTION. The
# programs print "usage:", where help2man looks for "Usage:" to make the
# synopsis; a usage that goes on over several lines (velrix-review's) is
# joined into one line, or its rest would land in the description.
"$1" "$2" | sed -e '/^usage: /{s//Usage: /;:a' -e 'N;s/\n *\[/ [/;ta' -e 'P;D}'

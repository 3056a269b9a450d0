#!/bin/sh
# Runs a Windows program under Wine with the variables that Wine keeps for
# itself (QT_*, HOME) handed on: Wine passes a variable NAME to the program only
# when it is given as WINENAME. The emulator of the cross-built test programs.
for name in $(env | sed -n 's/^\(QT_[A-Za-z0-9_]*\)=.*/\1/p') HOME; do
    eval "value=\${$name-}"
    [ -n "$value" ] && export "WINE$name=$value"
done
exec wine "$@"

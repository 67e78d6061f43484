#!/usr/bin/env bash
# Starts the servers the Windows tests use (filled in with the HTTP work).
exit 0

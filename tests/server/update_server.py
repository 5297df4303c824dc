#!/usr/bin/env python3
"""Runs a command against a test update server.

    update_server.py ROOT [--log FILE] -- COMMAND [ARGS...]

Starts the server for ROOT (created when missing), exports
UPDATE_TEST_SERVER=127.0.0.1:PORT, UPDATE_TEST_ROOT, UPDATE_TEST_LOG and
UPDATE_TEST_FREE_PORT (a port nobody listens on) to the command, runs it, stops the server and exits
with the command's status. Without a command it serves until interrupted.
"""
import argparse
import os
import subprocess
import threading
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from testserver import UpdateServer, free_port  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("root")
    parser.add_argument("--log")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    os.makedirs(args.root, exist_ok=True)
    with UpdateServer(args.root, args.log) as server:
        env = dict(os.environ, UPDATE_TEST_SERVER=server.address, UPDATE_TEST_ROOT=server.root,
                   UPDATE_TEST_LOG=server.log_path, UPDATE_TEST_FREE_PORT=str(free_port()))
        if not command:
            print("serving %s on %s" % (server.root, server.address), flush=True)
            try:
                threading.Event().wait()
            except KeyboardInterrupt:
                return 0
        return subprocess.call(command, env=env)


if __name__ == "__main__":
    sys.exit(main())

"""The `tessary` command."""

import argparse

from tessary import server


def main(argv=None):
    parser = argparse.ArgumentParser(prog="tessary", description="Backend panelu Halvaren Tessary")
    commands = parser.add_subparsers(dest="command", required=True)
    serve = commands.add_parser("serve", help="uruchom serwer panelu")
    serve.add_argument("--host", default="127.0.0.1")
    serve.add_argument("--port", type=int, default=8477)
    args = parser.parse_args(argv)
    if args.command == "serve":
        return server.serve(args.host, args.port)
    return 2

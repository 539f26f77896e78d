#!/usr/bin/env python3
"""A local update server for tests and the demo: serves a folder on 127.0.0.1 only.

Faults are asked for in the path, so that a base URL carries them into every request built on
it: GET /~status=404/update.htm answers 404. Options, comma-separated after "~":
  status=N      answer with status N (the body is a short error page)
  nolength      send no Content-Length (the body ends when the connection closes)
  cut=N         announce the whole length but send only N bytes, then close
  stall         send the headers, then nothing, until the client goes (at most 60 s)
  rate=N        trickle the body at about N bytes per second
  fast=N        with rate: send the first N bytes at full speed, then trickle
  cacheable     tell clients they may keep the answer for an hour
  delay=MS      wait MS milliseconds before answering
  announce=N    announce a length of N bytes whatever the body is
  norange       answer every request whole, ignoring Range
Files are answered with an ETag; "Range: bytes=N-" is answered 206 with the rest from N when
there is no If-Range or it names that ETag, 416 when N is not inside the file.
  redirect=SCHEME:PORT  answer 302 with the same path (after the options) on localhost:PORT
Every request's path is appended to <state-dir>/requests.log, followed by a tab and
"no-cache" when the request asked to bypass caches, and by "range=N" when it asked for the
rest from N.

  update_server.py start --root DIR --state-dir DIR   start in the background; prints the port
  update_server.py stop --state-dir DIR               stop the server started there
  update_server.py serve --root DIR --state-dir DIR [--port N]   run in the foreground
With --tls-cert PEM (the key, then the certificate chain) it speaks HTTPS instead.
"""
import argparse
import http.server
import os
import pathlib
import signal
import ssl
import subprocess
import sys
import time
import urllib.parse


def parse_faults(path):
    """Splits "/~a,b=1/rest" into ({"a": "", "b": "1"}, "/rest")."""
    if not path.startswith("/~"):
        return {}, path
    options, _, rest = path[2:].partition("/")
    faults = {}
    for option in filter(None, options.split(",")):
        name, _, value = option.partition("=")
        faults[name] = value
    return faults, "/" + rest


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "TavrelTestServer/1.0"
    protocol_version = "HTTP/1.0"

    def log_message(self, format, *args):  # keep test output quiet; requests.log has them
        pass

    def do_GET(self):
        with open(self.server.state_dir / "requests.log", "a", encoding="utf-8") as log:
            asks = (self.headers.get("Pragma", "") + self.headers.get("Cache-Control", "")).lower()
            ranged = self.headers.get("Range", "")
            log.write(self.path + ("\tno-cache" if "no-cache" in asks else "")
                      + ("\trange=" + ranged[6:].rstrip("-") if ranged.startswith("bytes=") else "")
                      + "\n")
        faults, path = parse_faults(urllib.parse.unquote(self.path.split("?")[0]))
        if "delay" in faults:
            time.sleep(int(faults["delay"]) / 1000)
        if "status" in faults:
            self.send_body(int(faults["status"]), b"<html>error page</html>", faults)
            return
        if "redirect" in faults:
            scheme, _, port = faults["redirect"].partition(":")
            self.send_response(302)
            self.send_header("Location", f"{scheme}://localhost:{port}{path}")
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        target = self.resolve(path)
        if target is None or not target.is_file():
            self.send_body(404, b"<html>not found</html>", faults)
            return
        self.send_file(target, faults)

    def send_file(self, target, faults):
        size = target.stat().st_size
        etag = f'"{size:x}-{target.stat().st_mtime_ns:x}"'
        first = 0
        ranged = self.headers.get("Range", "")
        if ranged.startswith("bytes=") and ranged.endswith("-") and "norange" not in faults:
            if self.headers.get("If-Range", etag) == etag:
                try:
                    first = int(ranged[6:-1])
                except ValueError:
                    first = 0
                if first >= size:
                    self.send_response(416)
                    self.send_header("Content-Range", f"bytes */{size}")
                    self.send_header("Content-Length", "0")
                    self.end_headers()
                    return
        status = 206 if first > 0 else 200
        headers = {"ETag": etag}
        if first > 0:
            headers["Content-Range"] = f"bytes {first}-{size - 1}/{size}"
        with open(target, "rb") as body:
            body.seek(first)
            self.send_body(status, body, faults, size - first, headers)

    def resolve(self, path):
        # Names are matched without regard to letter case, as on the reader's file system;
        # nothing outside the root is served.
        current = self.server.root
        for part in path.replace("\\", "/").split("/"):
            if part in ("", "."):
                continue
            if part == "..":
                return None
            matches = [entry for entry in current.iterdir() if entry.name.lower() == part.lower()]
            if not matches:
                return None
            current = matches[0]
        return current

    def send_body(self, status, body, faults, length=None, headers=None):
        """Sends `body`: bytes, or a file read in pieces of `length` bytes in all."""
        if isinstance(body, bytes):
            length = len(body)
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        if "cacheable" in faults:
            self.send_header("Cache-Control", "public, max-age=3600")
            self.send_header("Last-Modified", "Mon, 07 Dec 2026 00:00:00 GMT")
        if "nolength" not in faults:
            self.send_header("Content-Length", faults.get("announce") or str(length))
        self.end_headers()
        if "stall" in faults:
            self.wfile.flush()
            deadline = time.monotonic() + 60
            while time.monotonic() < deadline and not self.server.stopping:
                time.sleep(0.1)
            return
        if "cut" in faults:
            length = min(length, int(faults["cut"]))
        rate = int(faults.get("rate", "0") or 0)
        fast = int(faults.get("fast", "0") or 0)
        try:
            sent = 0
            while sent < length:
                trickling = rate > 0 and sent >= fast
                if trickling:
                    chunk = max(1, rate // 20)
                else:
                    chunk = min(1 << 20, fast - sent) if sent < fast else 1 << 20
                if isinstance(body, bytes):
                    piece = body[sent : min(length, sent + chunk)]
                else:
                    piece = body.read(min(chunk, length - sent))
                if not piece:
                    break
                self.wfile.write(piece)
                sent += len(piece)
                if trickling:
                    self.wfile.flush()
                    time.sleep(len(piece) / rate)
        except (BrokenPipeError, ConnectionResetError):
            pass


def serve(root, state_dir, port, tls_cert=None):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
    if tls_cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(tls_cert)
        # The handshake happens on a request's own thread: a client that stalls or refuses the
        # certificate holds up no other.
        server.socket = context.wrap_socket(server.socket, server_side=True,
                                            do_handshake_on_connect=False)
    server.daemon_threads = True
    server.root = pathlib.Path(root).resolve()
    server.state_dir = pathlib.Path(state_dir)
    server.stopping = False

    def stop(*_):
        server.stopping = True
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, stop)
    (server.state_dir / "port.tmp").write_text(str(server.server_address[1]))
    os.replace(server.state_dir / "port.tmp", server.state_dir / "port")
    try:
        server.serve_forever(poll_interval=0.1)
    except KeyboardInterrupt:
        pass


def start(root, state_dir, port, tls_cert=None):
    state = pathlib.Path(state_dir)
    state.mkdir(parents=True, exist_ok=True)
    stop(state_dir)
    (state / "port").unlink(missing_ok=True)
    (state / "requests.log").unlink(missing_ok=True)
    # Detached, with its output in a file: a child holding CTest's pipes would hang the test.
    with open(state / "server.log", "ab") as log:
        process = subprocess.Popen(
            [sys.executable, os.path.abspath(__file__), "serve", "--root", root,
             "--state-dir", state_dir, "--port", str(port)]
            + (["--tls-cert", tls_cert] if tls_cert else []),
            stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    (state / "pid").write_text(str(process.pid))
    deadline = time.monotonic() + 20
    while not (state / "port").exists():
        if process.poll() is not None or time.monotonic() > deadline:
            sys.exit("update server did not start; see " + str(state / "server.log"))
        time.sleep(0.05)
    print((state / "port").read_text())


def stop(state_dir):
    pid_file = pathlib.Path(state_dir) / "pid"
    if not pid_file.exists():
        return
    try:
        os.kill(int(pid_file.read_text()), signal.SIGTERM)
    except (ProcessLookupError, ValueError):
        pass
    pid_file.unlink(missing_ok=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=["start", "stop", "serve"])
    parser.add_argument("--root", default=".")
    parser.add_argument("--state-dir", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--tls-cert")
    args = parser.parse_args()
    if args.command == "serve":
        serve(args.root, args.state_dir, args.port, args.tls_cert)
    elif args.command == "start":
        start(args.root, args.state_dir, args.port, args.tls_cert)
    else:
        stop(args.state_dir)


if __name__ == "__main__":
    main()

"""A static update server for tests: serves a folder as /{type}/{name},
records every request and misbehaves on request.

    with UpdateServer(root) as server:
        server.set_fault("/1/a.bin", "status", status=404)
        ... fetch from 127.0.0.1:server.port ...
        server.requests()  # [{"method": "GET", "path": "/1/a.bin", "connection": 1, "fault": "status",
                           #   "host": "127.0.0.1:8080", "range": null, "if_range": null, ...}]
        server.sent("/1/a.bin")  # body bytes sent for that path so far (this process's server only)

Files are served as static servers do: with an ETag and Last-Modified, and
"Range: bytes=N-" or "bytes=N-M" is answered with 206 and that range, several
ranges ("bytes=0-9,20-29") with 206 multipart/byteranges as nginx answers
them (416 when a range starts beyond the end) unless an If-Range names
another validator.

Faults live in FAULTS_FILE in the served root and are re-read on every
request, so a program under test can set them itself. A fault with count=N
hits only the first N requests for its path since the faults were last
written. Kinds and parameters:
  status     status=404|500|...        that status with a short body
  cut        keep=bytes                 full Content-Length, part of the body, then close
  long_length  extra=bytes              Content-Length larger than the body, then close
  short_length less=bytes               Content-Length smaller than the body; the rest follows
  stall      after=bytes, seconds=s     headers and `after` bytes, then silence (after=-1: before the headers)
  reset      keep=bytes                 part of the body, then a TCP reset
  trickle    step=bytes, delay=s        the whole body, slowly
  chunked    cut=bool                   chunked coding, no length; cut=True drops the terminator
  unframed                              the body with neither length nor chunks, then close
  garbage                               bytes that are no HTTP response, then close
  silent                                close without a word
  redirect                              302 to the same path
  huge       size=bytes, chunked=bool   a body of zeros of that size instead of the file
  body       text=str                   200 with that text, whether or not a file exists
  delay      seconds=s                  waits, then serves the file as usual
  norange                               the whole file with 200, whatever Range asks for
  first_range                           several ranges answered with the first alone (206, no multipart)
  multipart  eol=str, keep=bytes        several ranges with lines ending in eol ("\n": bare LF); with
                                        keep, the full Content-Length but only that much of the body
"""
import email.utils
import json
import os
import re
import socket
import struct
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

FAULTS_FILE = "_faults.json"
_COPY_BLOCK = 256 * 1024


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = 120  # idle keep-alive connections end eventually

    def setup(self):
        super().setup()
        self.connection_id = self.server.next_connection_id()

    def log_message(self, *args):
        pass

    def do_GET(self):
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path, errors="strict")
        fault = self.server.fault_for(path)
        self.server.record({"time": round(time.monotonic(), 3), "method": "GET", "path": path, "raw": self.path,
                            "connection": self.connection_id, "fault": fault["kind"] if fault else None,
                            "host": self.headers.get("Host"), "range": self.headers.get("Range"),
                            "if_range": self.headers.get("If-Range")})
        if fault:
            getattr(self, "_fault_" + fault["kind"])(path, fault)
        else:
            self._serve(path)

    def _local(self, path):
        parts = [p for p in path.split("/") if p]
        if not parts or any(p in (".", "..") for p in parts):
            return None
        local = os.path.join(self.server.root, *parts)
        return local if os.path.isfile(local) else None

    def _body(self, path):
        local = self._local(path)
        if local is None:
            return None
        with open(local, "rb") as f:
            return f.read()

    def _head(self, status, length=None, extra=()):
        self.send_response(status)
        if length is not None:
            self.send_header("Content-Length", str(length))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()

    def _not_found(self):
        self._head(404, 9)
        self.wfile.write(b"not found")

    def _validators(self, local):
        info = os.stat(local)
        return [("ETag", '"%x-%x"' % (int(info.st_mtime), info.st_size)),
                ("Last-Modified", email.utils.formatdate(info.st_mtime, usegmt=True))]

    def _requested_ranges(self, size, validators):
        """The (first, last) byte pairs a Range asks for, or None for the whole file."""
        match = re.fullmatch(r"bytes=(\d+-\d*(?:,\d+-\d*)*)", self.headers.get("Range") or "")
        if_range = self.headers.get("If-Range")
        if not match or (if_range is not None and if_range not in (value for _, value in validators)):
            return None
        ranges = []
        for asked in match.group(1).split(","):
            first, last = asked.split("-")
            ranges.append((int(first), min(int(last), size - 1) if last else size - 1))
        return ranges

    def _send_file(self, path, local, first=0, last=None, keep=None):
        """Bytes first to last (a 206 when that is not the whole file), or only `keep` bytes of them."""
        with open(local, "rb") as f:
            size = os.fstat(f.fileno()).st_size
            last = size - 1 if last is None else last
            headers = self._validators(local) + [("Content-Type", "application/octet-stream")]
            partial = first > 0 or last < size - 1
            if partial:
                headers.append(("Content-Range", "bytes %d-%d/%d" % (first, last, size)))
            self._head(206 if partial else 200, last + 1 - first, headers)
            f.seek(first)
            left = last + 1 - first if keep is None else keep
            while left > 0:
                block = f.read(min(_COPY_BLOCK, left))
                if not block:
                    break
                self.wfile.write(block)
                self.server.count_sent(path, len(block))
                left -= len(block)

    def _send_parts(self, path, local, ranges, eol=b"\r\n", keep=None):
        """Several ranges as multipart/byteranges, parts in the order asked."""
        boundary = b"00000000000000000042"
        with open(local, "rb") as f:
            size = os.fstat(f.fileno()).st_size
            body = b""
            for first, last in ranges:
                f.seek(first)
                body += (eol + b"--" + boundary + eol + b"Content-Type: application/octet-stream" + eol +
                         b"Content-Range: bytes %d-%d/%d" % (first, last, size) + eol + eol + f.read(last + 1 - first))
            body += eol + b"--" + boundary + b"--" + eol
        self._head(206, len(body), self._validators(local) +
                   [("Content-Type", "multipart/byteranges; boundary=" + boundary.decode())])
        self.wfile.write(body if keep is None else body[:keep])
        self.server.count_sent(path, len(body) if keep is None else keep)
        if keep is not None:
            self._close()

    def _serve(self, path, ranges=True, answer_parts=None):
        """answer_parts(local, ranges): how several ranges are answered (multipart unless given)."""
        local = self._local(path)
        if local is None:
            return self._not_found()
        size = os.path.getsize(local)
        asked = self._requested_ranges(size, self._validators(local)) if ranges else None
        if asked and any(first >= size or first > last for first, last in asked):
            text = b"range not satisfiable"
            self._head(416, len(text), [("Content-Range", "bytes */%d" % size)])
            self.wfile.write(text)
            return
        if asked and len(asked) > 1:
            return (answer_parts or (lambda local, asked: self._send_parts(path, local, asked)))(local, asked)
        self._send_file(path, local, *(asked[0] if asked else (0, None)))

    def _close(self):
        self.wfile.flush()
        self.close_connection = True

    def _body_or_404(self, path):
        body = self._body(path)
        if body is None:
            self._not_found()
        return body

    def _fault_status(self, path, fault):
        text = b"fault"
        self._head(int(fault.get("status", 500)), len(text))
        self.wfile.write(text)

    def _fault_cut(self, path, fault):
        local = self._local(path)
        if local is None:
            return self._not_found()
        self._send_file(path, local, keep=int(fault.get("keep", os.path.getsize(local) // 2)))
        self._close()

    def _fault_long_length(self, path, fault):
        body = self._body_or_404(path)
        if body is None:
            return
        self._head(200, len(body) + int(fault.get("extra", 100)))
        self.wfile.write(body)
        self._close()

    def _fault_short_length(self, path, fault):
        body = self._body_or_404(path)
        if body is None:
            return
        self._head(200, max(0, len(body) - int(fault.get("less", 100))))
        self.wfile.write(body)

    def _fault_stall(self, path, fault):
        after = int(fault.get("after", 0))
        if after >= 0:
            body = self._body_or_404(path)
            if body is None:
                return
            self._head(200, len(body))
            self.wfile.write(body[:after])
        self.wfile.flush()
        time.sleep(float(fault.get("seconds", 10)))
        self._close()

    def _fault_reset(self, path, fault):
        body = self._body_or_404(path)
        if body is None:
            return
        self._head(200, len(body))
        self.wfile.write(body[:int(fault.get("keep", len(body) // 2))])
        self.wfile.flush()
        # Linger 0 turns the close into a reset.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self._close()

    def _fault_trickle(self, path, fault):
        body = self._body_or_404(path)
        if body is None:
            return
        step, delay = int(fault.get("step", 1024)), float(fault.get("delay", 0.05))
        self._head(200, len(body))
        for start in range(0, len(body), step):
            self.wfile.write(body[start:start + step])
            self.wfile.flush()
            time.sleep(delay)

    def _write_chunks(self, chunks, terminate=True):
        for chunk in chunks:
            if chunk:
                self.wfile.write(b"%x\r\n%s\r\n" % (len(chunk), chunk))
        if terminate:
            self.wfile.write(b"0\r\n\r\n")

    def _fault_chunked(self, path, fault):
        body = self._body_or_404(path)
        if body is None:
            return
        self._head(200, None, [("Transfer-Encoding", "chunked")])
        pieces = [body[i:i + 10000] for i in range(0, len(body), 10000)]
        if fault.get("cut"):
            self._write_chunks(pieces[: max(1, len(pieces) // 2)], terminate=False)
            self._close()
        else:
            self._write_chunks(pieces)

    def _fault_unframed(self, path, fault):
        body = self._body_or_404(path)
        if body is None:
            return
        self._head(200, None, [("Connection", "close")])
        self.wfile.write(body)
        self._close()

    def _fault_garbage(self, path, fault):
        self.wfile.write(b"\x00\x01garbage, no HTTP here\r\n\r\n" + os.urandom(512))
        self._close()

    def _fault_silent(self, path, fault):
        self._close()

    def _fault_body(self, path, fault):
        text = fault.get("text", "").encode("utf-8")
        self._head(200, len(text))
        self.wfile.write(text)

    def _fault_delay(self, path, fault):
        time.sleep(float(fault.get("seconds", 1)))
        self._serve(path)

    def _fault_norange(self, path, fault):
        self._serve(path, ranges=False)

    def _fault_first_range(self, path, fault):
        self._serve(path, answer_parts=lambda local, asked: self._send_file(path, local, *asked[0]))

    def _fault_multipart(self, path, fault):
        eol, keep = fault.get("eol", "\r\n").encode(), fault.get("keep")
        self._serve(path, answer_parts=lambda local, asked: self._send_parts(path, local, asked, eol, keep))

    def _fault_redirect(self, path, fault):
        self._head(302, 0, [("Location", self.path)])

    def _fault_huge(self, path, fault):
        size = int(fault.get("size", 64 * 1024 * 1024 + 1))
        block = bytes(_COPY_BLOCK)
        try:
            if fault.get("chunked"):
                self._head(200, None, [("Transfer-Encoding", "chunked")])
                chunks = (block[: min(_COPY_BLOCK, size - i)] for i in range(0, size, _COPY_BLOCK))
                self._write_chunks(chunks)
            else:
                self._head(200, size)
                for i in range(0, size, _COPY_BLOCK):
                    self.wfile.write(block[: min(_COPY_BLOCK, size - i)])
        except OSError:  # the client hung up, as it should
            self.close_connection = True


class _Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = False

    def __init__(self, root, log_path):
        super().__init__(("127.0.0.1", 0), _Handler)
        self.root = root
        self.log_path = log_path
        self._lock = threading.Lock()
        self._connections = 0
        self._fault_hits = {}
        self._faults_written = None
        self._sent = {}

    def handle_error(self, request, client_address):
        # Clients that hang up on a faulty response are what the faults are for.
        pass

    def next_connection_id(self):
        with self._lock:
            self._connections += 1
            return self._connections

    def record(self, entry):
        line = json.dumps(entry, ensure_ascii=False) + "\n"
        with self._lock, open(self.log_path, "a", encoding="utf-8") as log:
            log.write(line)

    def count_sent(self, path, count):
        with self._lock:
            self._sent[path] = self._sent.get(path, 0) + count

    def sent(self, path):
        with self._lock:
            return self._sent.get(path, 0)

    def fault_for(self, path):
        faults, written = self.faults_and_time()
        fault = faults.get(path)
        if fault is None or "count" not in fault:
            return fault
        with self._lock:
            if written != self._faults_written:
                self._faults_written = written
                self._fault_hits = {}
            hits = self._fault_hits.get(path, 0) + 1
            self._fault_hits[path] = hits
        return fault if hits <= int(fault["count"]) else None

    def faults_and_time(self):
        """The faults and when they were written (None when there are none)."""
        path = os.path.join(self.root, FAULTS_FILE)
        try:
            with open(path, encoding="utf-8") as f:
                info = os.fstat(f.fileno())
                return json.load(f), (info.st_ino, info.st_mtime_ns, info.st_size)
        except (OSError, ValueError):
            return {}, None

    def faults(self):
        return self.faults_and_time()[0]


class UpdateServer:
    """Serves `root` on 127.0.0.1 at a free port until stopped."""

    def __init__(self, root, log_path=None):
        self.root = os.path.abspath(root)
        self.log_path = os.path.abspath(log_path or os.path.join(self.root, "_requests.jsonl"))
        self._server = None
        self._thread = None

    def start(self):
        open(self.log_path, "w").close()
        self._server = _Server(self.root, self.log_path)
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        if self._server:
            self._server.shutdown()
            self._server.server_close()
            self._thread.join()
            self._server = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    @property
    def port(self):
        return self._server.server_address[1]

    @property
    def address(self):
        return "127.0.0.1:%d" % self.port

    def requests(self):
        with open(self.log_path, encoding="utf-8") as log:
            return [json.loads(line) for line in log if line.strip()]

    def sent(self, path):
        """Body bytes sent for `path` by files served whole, in part or cut."""
        return self._server.sent(path)

    def connection_count(self):
        return len({r["connection"] for r in self.requests()})

    def set_fault(self, path, kind, **params):
        faults = self._server.faults() if self._server else {}
        faults[path] = dict(params, kind=kind)
        self._write_faults(faults)

    def clear_faults(self):
        self._write_faults({})

    def _write_faults(self, faults):
        target = os.path.join(self.root, FAULTS_FILE)
        with open(target + ".tmp", "w", encoding="utf-8") as f:
            json.dump(faults, f, ensure_ascii=False)
        os.replace(target + ".tmp", target)


class SilentListener:
    """A loopback port that accepts connections (the system completes them
    from its backlog) and never answers a request: a server that hangs."""

    def __init__(self):
        self._socket = socket.socket()
        self._socket.bind(("127.0.0.1", 0))
        self._socket.listen(64)
        self.port = self._socket.getsockname()[1]

    def close(self):
        self._socket.close()


def free_port(host="127.0.0.1"):
    """A port of a loopback address that nothing listens on right now."""
    with socket.socket() as s:
        s.bind((host, 0))
        return s.getsockname()[1]

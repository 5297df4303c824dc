"""Real servers for the scenarios that need more than the test server:
nginx with a configuration of its own, a certificate authority for tests
trusted only inside the test prefix, tinyproxy, and the user's proxy
settings as Internet Options stores them in the prefix. Every server runs
as the calling user with its files in a temporary folder and is stopped by
its process id."""
import fcntl
import hashlib
import os
import pwd
import shutil
import socket
import ssl
import struct
import subprocess
import tempfile
import time

from harness import free_port, wine

ROOT_STORE = "HKLM\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\"
CONNECTIONS = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections"
# Internet Options' layout of DefaultConnectionSettings.
SETTINGS_VERSION = 0x46
PROXY_TYPE_DIRECT = 0x1
PROXY_TYPE_PROXY = 0x2
# Port 443 is one per machine: scenarios of other checkouts on the same
# machine take turns with this one through this lock.
PORT_443_LOCK = "/tmp/qira-update-tests-port-443.lock"


def wait_for_port(host, port, timeout=10):
    deadline = time.time() + timeout
    while time.time() < deadline:
        try:
            with socket.create_connection((host, port), timeout=1):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def stop_process(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


class TestCA:
    """A certificate authority made for one scenario, with certificates for
    host names. trust() adds it to the test prefix's root store only."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="upd-ca-")
        self.cert = os.path.join(self.folder, "ca.pem")
        self._openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                      "-keyout", os.path.join(self.folder, "ca.key"), "-out", self.cert,
                      "-subj", "/CN=QIRA Update Test CA",
                      "-addext", "basicConstraints=critical,CA:TRUE",
                      "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        with open(self.cert) as f:
            self._der = ssl.PEM_cert_to_DER_cert(f.read())
        self._key = ROOT_STORE + hashlib.sha1(self._der).hexdigest().upper()

    def _openssl(self, *args):
        subprocess.run(["openssl", *args], check=True, capture_output=True)

    def issue(self, name):
        """A certificate and key for the host name; returns their paths."""
        base = os.path.join(self.folder, name)
        extensions = base + ".ext"
        with open(extensions, "w") as f:
            f.write("subjectAltName=DNS:%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n" % name)
        self._openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", base + ".key", "-out", base + ".csr",
                      "-subj", "/CN=" + name)
        self._openssl("x509", "-req", "-in", base + ".csr", "-CA", self.cert,
                      "-CAkey", os.path.join(self.folder, "ca.key"), "-CAcreateserial", "-days", "2",
                      "-out", base + ".pem", "-extfile", extensions)
        return base + ".pem", base + ".key"

    def trust(self):
        # The store's registry form: one property (32, the certificate itself) per value.
        blob = struct.pack("<III", 32, 1, len(self._der)) + self._der
        wine("reg", "add", self._key, "/v", "Blob", "/t", "REG_BINARY", "/d", blob.hex(), "/f")

    def untrust(self):
        wine("reg", "delete", self._key, "/f", check=False)

    def cleanup(self):
        self.untrust()
        shutil.rmtree(self.folder, ignore_errors=True)


class Nginx:
    """nginx with the given server blocks; its access log has one line per
    request: "<host> <uri> <status>"."""

    def __init__(self, servers):
        self.folder = tempfile.mkdtemp(prefix="upd-nginx-")
        self.log = os.path.join(self.folder, "access.log")
        config = os.path.join(self.folder, "nginx.conf")
        state = self.folder
        with open(config, "w") as f:
            f.write(f"""user {pwd.getpwuid(os.getuid()).pw_name};
daemon off;
worker_processes 1;
pid {state}/nginx.pid;
error_log {state}/error.log;
events {{ worker_connections 64; }}
http {{
  log_format named '$host $request_uri $status';
  access_log {self.log} named;
  client_body_temp_path {state}/body;
  proxy_temp_path {state}/proxy;
  fastcgi_temp_path {state}/fastcgi;
  uwsgi_temp_path {state}/uwsgi;
  scgi_temp_path {state}/scgi;
  keepalive_timeout 300s;
{servers}
}}
""")
        self.process = subprocess.Popen(["nginx", "-p", self.folder, "-c", config], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def started(self, port):
        return self.process.poll() is None and wait_for_port("127.0.0.1", port)

    def errors(self):
        path = os.path.join(self.folder, "error.log")
        return open(path).read() if os.path.exists(path) else ""

    def requests(self):
        """(host, uri, status) of every request so far."""
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return [tuple(line.split()) for line in f if line.strip()]

    def stop(self):
        stop_process(self.process)
        shutil.rmtree(self.folder, ignore_errors=True)


class Port443:
    """Holds the machine-wide turn at port 443 on loopback."""

    def __init__(self, timeout=600):
        self._file = open(PORT_443_LOCK, "a")
        deadline = time.time() + timeout
        while True:
            try:
                fcntl.flock(self._file, fcntl.LOCK_EX | fcntl.LOCK_NB)
                break
            except BlockingIOError:
                if time.time() > deadline:
                    raise AssertionError("port 443: another test run held it for %d s" % timeout)
                time.sleep(0.5)
        with socket.socket() as probe:
            probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            try:
                probe.bind(("127.0.0.1", 443))
            except OSError as error:
                self.release()
                raise AssertionError("port 443 on loopback is taken by another program: %s" % error)

    def release(self):
        if self._file:
            fcntl.flock(self._file, fcntl.LOCK_UN)
            self._file.close()
            self._file = None


class Tinyproxy:
    """tinyproxy on 127.0.0.2 (Wine sends a plain path instead of the
    whole address when the proxy's host is the server's own), with its own
    configuration and log."""

    HOST = "127.0.0.2"

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="upd-proxy-")
        self.port = free_port(self.HOST)
        self.log = os.path.join(self.folder, "tinyproxy.log")
        config = os.path.join(self.folder, "tinyproxy.conf")
        with open(config, "w") as f:
            f.write('Port %d\nListen %s\nTimeout 600\nLogFile "%s"\nLogLevel Info\nMaxClients 50\n'
                    'Allow 127.0.0.0/8\nConnectPort 443\n' % (self.port, self.HOST, self.log))
        self.process = subprocess.Popen(["tinyproxy", "-d", "-c", config], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_for_port(self.HOST, self.port):
            raise AssertionError("tinyproxy did not start")

    @property
    def address(self):
        return "%s:%d" % (self.HOST, self.port)

    def requests(self):
        """The request lines the proxy was asked to forward, e.g. "GET http://127.0.0.1:8080/1/a.bin HTTP/1.1"."""
        if not os.path.exists(self.log):
            return []
        with open(self.log, errors="replace") as f:
            return [line.split("): ", 1)[1].strip() for line in f if "Request (file descriptor" in line]

    def stop(self):
        stop_process(self.process)
        shutil.rmtree(self.folder, ignore_errors=True)


def set_user_proxy(proxy, bypass="", enabled=True):
    """Writes the user's manual proxy into the prefix as Internet Options
    does: version, change counter, flags, then the proxy, the bypass list
    and the configuration script's address, each with its length."""
    flags = PROXY_TYPE_DIRECT | (PROXY_TYPE_PROXY if enabled else 0)
    value = struct.pack("<III", SETTINGS_VERSION, 1, flags)
    for text in (proxy.encode(), bypass.encode(), b""):
        value += struct.pack("<I", len(text)) + text
    value += bytes(32)
    wine("reg", "add", CONNECTIONS, "/v", "DefaultConnectionSettings", "/t", "REG_BINARY", "/d", value.hex(), "/f")


def clear_user_proxy():
    wine("reg", "delete", CONNECTIONS, "/v", "DefaultConnectionSettings", "/f", check=False)

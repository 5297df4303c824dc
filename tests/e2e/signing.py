"""Release statements and signatures the way OpenSSL's command line makes
and checks them, so that scenarios can hold the Windows build (BCrypt)
against OpenSSL in both directions. A signature is base64 of r||s (32 bytes
each); OpenSSL speaks DER (SEQUENCE of two INTEGERs) and
SubjectPublicKeyInfo."""
import base64
import hashlib
import os
import subprocess
import tempfile

# SubjectPublicKeyInfo of an uncompressed P-256 point, up to the point itself.
SPKI_PREFIX = bytes.fromhex("3059301306072a8648ce3d020106082a8648ce3d030107034200")


def _der_integer(value):
    value = value.lstrip(b"\0") or b"\0"
    if value[0] & 0x80:
        value = b"\0" + value
    return b"\x02" + bytes([len(value)]) + value


def der_from_line(line):
    raw = base64.b64decode(line.strip(), validate=True)
    assert len(raw) == 64, len(raw)
    body = _der_integer(raw[:32]) + _der_integer(raw[32:])
    return b"\x30" + bytes([len(body)]) + body


def line_from_der(der):
    assert der[0] == 0x30
    at = 2
    numbers = []
    for _ in range(2):
        assert der[at] == 0x02
        length = der[at + 1]
        numbers.append(der[at + 2:at + 2 + length].lstrip(b"\0").rjust(32, b"\0"))
        at += 2 + length
    return base64.b64encode(numbers[0] + numbers[1]).decode() + "\n"


def _temporary(data):
    handle, path = tempfile.mkstemp(prefix="sig-")
    with os.fdopen(handle, "wb") as f:
        f.write(data)
    return path


def openssl_sign(private_key_file, data):
    """The signature file's text for data, made by OpenSSL with the key file."""
    der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", private_key_file], input=data,
                         capture_output=True, check=True).stdout
    return line_from_der(der)


def openssl_verifies(key_line, data, signature_line):
    """Whether OpenSSL accepts the signature file's text for data."""
    key = _temporary(SPKI_PREFIX + base64.b64decode(key_line.strip(), validate=True))
    signature = _temporary(der_from_line(signature_line))
    message = _temporary(data)
    try:
        result = subprocess.run(["openssl", "dgst", "-sha256", "-verify", key, "-keyform", "DER",
                                 "-signature", signature, message], capture_output=True)
        return result.returncode == 0
    finally:
        for path in (key, signature, message):
            os.unlink(path)


def openssl_sign_statement(private_key_file, target, published, manifest, expires=None):
    """A release statement for the manifest's bytes, signed by OpenSSL:
    target "program" or "package N", times as "YYYY-MM-DDTHH:MM:SSZ"."""
    lines = ["target=" + target, "published=" + published] + (["expires=" + expires] if expires else [])
    lines.append("manifest-sha256=" + hashlib.sha256(manifest).hexdigest())
    body = "".join(line + "\n" for line in lines).encode()
    return body + b"signature=" + openssl_sign(private_key_file, body).encode()

#pragma once
// RFC 6979, appendix A.2.5: a P-256 key and its deterministic ECDSA
// signatures with SHA-256, in the base64 forms of a release key line and a
// signature file. Every test that checks a signature against fixed bytes
// uses these, so BCrypt and OpenSSL are held to the same published values.
inline constexpr char kRfcKeyLine[] =
    "BGD+1LolWp0xyWHrdMY1bWjASbiSO2H6bOZpYi5g8p+2eQP+EAi4vJmkGunpVii8ZPLxsgwtfp9Rd6PClNRGIpk=";
inline constexpr char kRfcSecret[] = "ya+p2EW6dRZrXCFXZ7HWk05Qw9s26JsSe4piKxIPZyE=";
// Over the bytes "sample" and "test".
inline constexpr char kRfcSampleSignature[] =
    "79SLKqy2qP0RQN2c1F6B1p0sh3tWqvmRw00OqE6vNxb3yxyULWV8QdQ2x6G24p9l8+kA27mv9AZNxKsvhDrNqA==";
inline constexpr char kRfcTestSignature[] =
    "8auwI1GDUc1x2IFWex6mY+0+/PbFEys1TyjTsLfTg2cBn0ETdCorFL0lkmtJxkkVXyZ+YNOBS0wMyEJQ5G8Agw==";
// A release statement for the manifest "sample", signed with that key by
// OpenSSL's command line (`openssl dgst -sha256 -sign` over the lines
// before the signature).
inline constexpr char kRfcSampleStatement[] =
    "target=package 2\n"
    "published=2026-12-08T07:00:00Z\n"
    "expires=2027-01-07T07:00:00Z\n"
    "manifest-sha256=af2bdbe1aa9b6ec1e2ade1d694f41fc71a831d0268e9891562113d8a62add1bf\n"
    "signature=PUfuRzAcfBwUWKK1UvqEuCyambJq3HHD+oCeS2JLkFSBoUCrT6VLFKMPNVQAthQH+R3uw3vzdvV2v/k/lp8H1A==\n";

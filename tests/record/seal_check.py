# An independent check of an erase record's seal, written from
# docs/erase-record.md alone: prints True when the SHA-256 of the canonical
# form matches, and leaves the canonical form in form.bin and the signature
# (if any) in sig.bin of the current folder for openssl pkeyutl -verify.
import hashlib, json, sys
def form(v):
    if isinstance(v, dict):
        return "{" + ",".join(json.dumps(k, ensure_ascii=False) + ":" + form(v[k])
                              for k in sorted(v, key=lambda k: k.encode("utf-16-be"))) + "}"
    if isinstance(v, list):
        return "[" + ",".join(form(x) for x in v) + "]"
    if isinstance(v, bool) or v is None or isinstance(v, str):
        return json.dumps(v, ensure_ascii=False)
    v = float(v)
    if v == int(v) and abs(v) < 1e21:
        return str(int(v))
    return repr(v).replace("e-0", "e-").replace("e+0", "e+")  # enough for seconds
record = json.load(open(sys.argv[1], encoding="utf-8"))
seal = record.pop("seal")
text = form(record).encode("utf-8")
print(hashlib.sha256(text).hexdigest() == seal["sha256"])
open("form.bin", "wb").write(text)
if seal.get("signature"):
    open("sig.bin", "wb").write(bytes.fromhex(seal["signature"]["value"]))

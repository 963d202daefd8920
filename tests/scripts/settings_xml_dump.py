"""Independent reader of an XML settings/project file: prints, one line per element in
document order, the element's path and its attributes as key=value pairs (sorted by the order
in the file). Used to check element order, spelling and attributes without JUCE."""
import sys
import xml.etree.ElementTree as ET


def walk(element, path):
    here = f"{path}/{element.tag}"
    attrs = " ".join(f"{k}={v}" for k, v in element.attrib.items())
    print(f"{here} {attrs}".rstrip())
    for child in element:
        walk(child, here)


with open(sys.argv[1], "rb") as f:
    data = f.read()
if not data.startswith(b'<?xml version="1.0" encoding="UTF-8"?>'):
    print("bad declaration:", data[:60])
    sys.exit(1)
if b"<!DOCTYPE" in data:
    print("unexpected DTD")
    sys.exit(1)
walk(ET.fromstring(data), "")

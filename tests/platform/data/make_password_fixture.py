#!/usr/bin/python3
"""Saves members_password.xls: members.xlsx with the password "abc" to open.

Needs an office suite with its Python bridge (python3-uno); run once with
  python3 make_password_fixture.py . .
"""
import subprocess, time, sys, os, uno
from com.sun.star.beans import PropertyValue
def prop(n, v):
    p = PropertyValue(); p.Name = n; p.Value = v; return p
src, out = sys.argv[1], sys.argv[2]
proc = subprocess.Popen(['soffice', '--headless', '--invisible', '--norestore', '--accept=socket,host=localhost,port=2202;urp;'])
ctx = None
for i in range(60):
    try:
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext('com.sun.star.bridge.UnoUrlResolver', local)
        ctx = resolver.resolve('uno:socket,host=localhost,port=2202;urp;StarOffice.ComponentContext')
        break
    except Exception:
        time.sleep(1)
desktop = ctx.ServiceManager.createInstanceWithContext('com.sun.star.frame.Desktop', ctx)
for name in ['members.xlsx']:
    doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(os.path.abspath(os.path.join(src, name))), '_blank', 0, (prop('Hidden', True),))
    doc.storeToURL(uno.systemPathToFileUrl(os.path.abspath(os.path.join(out, 'members_password.xls'))), (prop('FilterName', 'MS Excel 97'), prop('Password', 'abc')))
    doc.close(True)
try:
    desktop.terminate()
except Exception:
    pass
proc.wait(timeout=30)

# The tests import the package from this source folder unless it is
# installed, and their image writer from this folder.
import os
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
sys.path.append(os.path.dirname(here))

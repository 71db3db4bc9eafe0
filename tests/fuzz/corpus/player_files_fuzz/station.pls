[playlist]
NumberOfEntries=1
File1=http://example.org:8000/live

#!/usr/bin/env python3
"""Thumbnails of a whole folder on the workers of a Dask cluster.

    dask_thumbnails.py INPUT_FOLDER OUTPUT_FOLDER [--size 128]
                       [--scheduler tcp://host:8786] [--workers 2]
                       [--report report.tsv] [--chunk 64]

The client lists the files directly inside INPUT_FOLDER (names that begin
with a dot are left out) and sends them, in chunks, to the workers; each
worker makes a square thumbnail of each file with quintaro_imgthumbnail and
returns the file's outcome. The report has one line per file, in name order:
the name, "written" or "failed", and the library's message when it failed.
Outputs are named as the library's batch names them: a .jpg or .jpeg input
gives a .png thumbnail, every other name stays as it is.

Without --scheduler a local cluster of --workers processes is started. With
--scheduler the workers of a real cluster run the tasks: each needs the
package installed (pip install the wheel), and INPUT_FOLDER and
OUTPUT_FOLDER must be the same paths on every machine (a shared folder).

Why each worker is a process running one thread: the library keeps one
last-error message per process, so within a process calls must take turns
(the package serialises them with a lock). Threads in one worker would only
queue on that lock; separate processes each have their own message and run
truly in parallel. Start real workers with
    dask worker tcp://scheduler:8786 --nworkers N --nthreads 1
"""
import argparse
import os
import sys

OUTCOME_WRITTEN = "written"
OUTCOME_FAILED = "failed"
JPEG_EXTENSIONS = (".jpg", ".jpeg")


def thumbnail_name(name):
    stem, ext = os.path.splitext(name)
    return stem + ".png" if ext.lower() in JPEG_EXTENSIONS else name


def thumbnail_chunk(names, input_dir, output_dir, size):
    """Runs on a worker: one square thumbnail per name, and each outcome."""
    import quintaro_imgthumbnail as qit

    outcomes = []
    for name in names:
        try:
            qit.square(os.path.join(input_dir, name), os.path.join(output_dir, thumbnail_name(name)), size)
            outcomes.append((name, OUTCOME_WRITTEN, ""))
        except qit.ImgThumbnailError as e:
            outcomes.append((name, OUTCOME_FAILED, str(e)))
    return outcomes


def list_files(input_dir):
    return sorted(e.name for e in os.scandir(input_dir) if e.is_file() and not e.name.startswith("."))


def run(input_dir, output_dir, size, client, chunk=64):
    """Thumbnails of every file of input_dir on the client's workers: a list
    of (name, outcome, message), in name order."""
    from dask.distributed import as_completed

    os.makedirs(output_dir, exist_ok=True)
    names = list_files(input_dir)
    chunks = [names[i:i + chunk] for i in range(0, len(names), chunk)]
    futures = [client.submit(thumbnail_chunk, c, input_dir, output_dir, size, pure=False) for c in chunks]
    outcomes = []
    for future in as_completed(futures):
        outcomes.extend(future.result())
        future.release()
    return sorted(outcomes)


def write_report(outcomes, path):
    with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
        for name, outcome, message in outcomes:
            f.write("%s\t%s\t%s\n" % (name, outcome, message))


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("input_dir")
    parser.add_argument("output_dir")
    parser.add_argument("--size", type=int, default=128)
    parser.add_argument("--scheduler", help="address of a running scheduler (default: a local cluster)")
    parser.add_argument("--workers", type=int, default=2, help="worker processes of the local cluster")
    parser.add_argument("--chunk", type=int, default=64, help="files per task")
    parser.add_argument("--report", default="thumbnail-report.tsv")
    args = parser.parse_args(argv)

    from dask.distributed import Client, LocalCluster

    input_dir = os.path.abspath(args.input_dir)
    output_dir = os.path.abspath(args.output_dir)
    if args.scheduler:
        client = Client(args.scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                               dashboard_address=None)
        client = Client(cluster)
    try:
        outcomes = run(input_dir, output_dir, args.size, client, args.chunk)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    write_report(outcomes, args.report)
    failed = sum(1 for o in outcomes if o[1] == OUTCOME_FAILED)
    print("%d files: %d written, %d failed; report in %s" % (len(outcomes), len(outcomes) - failed, failed,
                                                           args.report))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

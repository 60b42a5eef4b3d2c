// Tests of ImgThumbnail.cs against the real library: the thumbnails, the
// exact messages, a message read many times (the library's pointer must never
// be freed by the marshaller) and threads that take turns.
// usage: ImgThumbnailTest.exe WORK_FOLDER   (exit code 0 when all pass)
using System;
using System.Collections.Generic;
using System.IO;
using System.Threading;
using Quintaro;

static class ImgThumbnailTest
{
    static int failures;

    static void Expect(bool ok, string what)
    {
        if (ok) return;
        failures++;
        Console.Error.WriteLine("FAILED: " + what);
    }

    // A 24-bit BMP with gradients and stripes, so thumbnails differ in content.
    static void WriteBmp(string path, int width, int height)
    {
        int stride = (width * 3 + 3) / 4 * 4;
        var data = new byte[54 + stride * height];
        data[0] = (byte)'B'; data[1] = (byte)'M';
        BitConverter.GetBytes(data.Length).CopyTo(data, 2);
        BitConverter.GetBytes(54).CopyTo(data, 10);
        BitConverter.GetBytes(40).CopyTo(data, 14);
        BitConverter.GetBytes(width).CopyTo(data, 18);
        BitConverter.GetBytes(height).CopyTo(data, 22);
        BitConverter.GetBytes((short)1).CopyTo(data, 26);
        BitConverter.GetBytes((short)24).CopyTo(data, 28);
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                int at = 54 + y * stride + x * 3;
                data[at] = (byte)(x * 255 / width);
                data[at + 1] = (byte)(y * 255 / height);
                data[at + 2] = (byte)((x / 4 + y / 3) % 2 == 0 ? 220 : 30);
            }
        File.WriteAllBytes(path, data);
    }

    static int[] PngSize(string path)
    {
        byte[] head = new byte[24];
        using (var f = File.OpenRead(path)) f.Read(head, 0, head.Length);
        Func<int, int> be = at => head[at] << 24 | head[at + 1] << 16 | head[at + 2] << 8 | head[at + 3];
        return new[] { be(16), be(20) };
    }

    static string MessageOf(Action call)
    {
        try { call(); } catch (ImgThumbnailException e) { return e.Message; }
        return null;
    }

    static int Main(string[] args)
    {
        string work = args[0];
        Directory.CreateDirectory(Path.Combine(work, "in"));
        string photo = Path.Combine(work, "in", "photo.bmp");
        WriteBmp(photo, 160, 90);
        WriteBmp(Path.Combine(work, "in", "second.bmp"), 50, 70);

        // Each operation writes its thumbnail at its size.
        string o = Path.Combine(work, "square.png");
        ImgThumbnail.Square(photo, o, 40);
        Expect(PngSize(o)[0] == 40 && PngSize(o)[1] == 40, "Square 40");
        o = Path.Combine(work, "aspect.png");
        ImgThumbnail.Aspect(photo, o, 64, 1);
        Expect(PngSize(o)[0] == 64 && PngSize(o)[1] == 48, "Aspect 64 at 4:3");
        o = Path.Combine(work, "smart.png");
        ImgThumbnail.Smart(photo, o, 30, 50);
        Expect(PngSize(o)[0] == 30 && PngSize(o)[1] == 50, "Smart 30 x 50");
        ImgThumbnail.Batch(Path.Combine(work, "in"), Path.Combine(work, "batch"), 16);
        Expect(File.Exists(Path.Combine(work, "batch", "photo.bmp")) &&
               File.Exists(Path.Combine(work, "batch", "second.bmp")), "Batch wrote both");

        // Failures carry the library's messages exactly.
        string missing = Path.Combine(work, "missing.png");
        var cases = new List<KeyValuePair<Action, string>> {
            new KeyValuePair<Action, string>(() => ImgThumbnail.Square(photo, o, 0), "square: size 0 out of range 1..4096"),
            new KeyValuePair<Action, string>(() => ImgThumbnail.Square(null, o, 10), "square: NULL input/output"),
            new KeyValuePair<Action, string>(() => ImgThumbnail.Aspect(photo, o, 10, 7), "aspect: ratio 7 out of range 0..3"),
            new KeyValuePair<Action, string>(() => ImgThumbnail.Smart(photo, o, 100, 5000), "smart: size 5000 out of range 1..4096"),
            new KeyValuePair<Action, string>(() => ImgThumbnail.Batch(work, o, -1), "batch: size -1 out of range 1..4096"),
            new KeyValuePair<Action, string>(() => ImgThumbnail.Square(missing, o, 10), "cannot decode '" + missing + "': can't fopen"),
            new KeyValuePair<Action, string>(() => ImgThumbnail.Square("caf\u00e9.png", o, 10), "cannot decode 'caf\u00e9.png': can't fopen"),
        };
        foreach (var c in cases) {
            string got = MessageOf(c.Key);
            Expect(got == c.Value, "expected \"" + c.Value + "\", got \"" + got + "\"");
        }
        // The same message read again and again: freeing the library's buffer
        // would crash here.
        for (int i = 0; i < 1000; i++)
            if (MessageOf(() => ImgThumbnail.Square(photo, o, -i)) != "square: size " + (-i) + " out of range 1..4096") {
                Expect(false, "message of size " + (-i));
                break;
            }

        // Threads take turns: a failing call always reads its own message,
        // although other threads' successful calls empty it.
        int wrong = 0;
        var done = new ManualResetEvent(false);
        var threads = new List<Thread>();
        for (int t = 0; t < 3; t++) {
            int index = t;
            threads.Add(new Thread(() => {
                for (int i = 0; i < 15; i++)
                    ImgThumbnail.Square(photo, Path.Combine(work, "t" + index + ".png"), 64);
            }));
            threads.Add(new Thread(() => {
                for (int i = 0; !done.WaitOne(0); i++) {
                    int size = -(index * 100000 + i);
                    if (MessageOf(() => ImgThumbnail.Square(photo, o, size)) != "square: size " + size + " out of range 1..4096")
                        Interlocked.Increment(ref wrong);
                }
            }));
        }
        foreach (var t in threads) t.Start();
        for (int t = 0; t < threads.Count; t += 2) threads[t].Join();
        done.Set();
        foreach (var t in threads) t.Join();
        Expect(wrong == 0, wrong + " calls read another thread's message");

        Console.WriteLine(failures == 0 ? "all .NET binding tests passed" : failures + " failed");
        return failures == 0 ? 0 : 1;
    }
}

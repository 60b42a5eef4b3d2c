// Tests of ImgThumbnail.cs against the real libraries (compiled with it, or
// against the NuGet package's assembly): the thumbnails, the exact messages,
// a message read many times (the library's pointer must never be freed by
// the marshaller), threads that take turns through the seven functions and
// threads that run Thumbnail at once, each reading its own messages.
// usage: ImgThumbnailTest.exe WORK_FOLDER   (exit code 0 when all pass)
using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Reflection;
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

    static int[] BmpPixel(string path, int x, int y)
    {
        byte[] data = File.ReadAllBytes(path);
        int offset = BitConverter.ToInt32(data, 10), width = BitConverter.ToInt32(data, 18);
        int height = BitConverter.ToInt32(data, 22), stride = (width * 3 + 3) / 4 * 4;
        int at = offset + (height - 1 - y) * stride + x * 3;
        return new[] { data[at + 2], data[at + 1], (int)data[at] };
    }

    // The options library: each mode, the options, the messages, and eight
    // threads at once with no lock, each reading its own failures' messages.
    static void TestThumbnail(string work, string photo)
    {
        var sizes = new Dictionary<ThumbnailMode, int[]> {
            { ThumbnailMode.Cover, new[] { 50, 30, 50, 30 } }, { ThumbnailMode.Fit, new[] { 60, 60, 60, 34 } },
            { ThumbnailMode.Pad, new[] { 60, 60, 60, 60 } }, { ThumbnailMode.Smart, new[] { 20, 70, 20, 70 } },
            { ThumbnailMode.Aspect, new[] { 64, 0, 64, 48 } },
        };
        foreach (var c in sizes) {
            string o = Path.Combine(work, "thumb-" + c.Key + ".png");
            ImgThumbnail.Thumbnail(photo, o, new ThumbnailOptions { Mode = c.Key, Width = c.Value[0], Height = c.Value[1], Ratio = 1 });
            int[] got = PngSize(o);
            Expect(got[0] == c.Value[2] && got[1] == c.Value[3], "Thumbnail " + c.Key + ": " + got[0] + " x " + got[1]);
        }
        string same = Path.Combine(work, "same.png");
        ImgThumbnail.Thumbnail(photo, same, new ThumbnailOptions { Mode = ThumbnailMode.Fit, Width = 999, Height = 999, Upscale = false });
        Expect(PngSize(same)[0] == 160 && PngSize(same)[1] == 90, "Upscale = false keeps 160 x 90");
        string pad = Path.Combine(work, "pad.bmp");
        ImgThumbnail.Thumbnail(photo, pad, new ThumbnailOptions { Mode = ThumbnailMode.Pad, Width = 40, Height = 40, Background = 0x0A141EFF });
        int[] corner = BmpPixel(pad, 0, 0);
        Expect(corner[0] == 10 && corner[1] == 20 && corner[2] == 30, "Background reaches the canvas");
        string low = Path.Combine(work, "q5.jpg"), high = Path.Combine(work, "q95.jpg");
        ImgThumbnail.Thumbnail(photo, low, new ThumbnailOptions { Width = 90, Height = 90, Quality = 5 });
        ImgThumbnail.Thumbnail(photo, high, new ThumbnailOptions { Width = 90, Height = 90, Quality = 95 });
        Expect(new FileInfo(low).Length < new FileInfo(high).Length, "Quality reaches the encoder");

        var cases = new List<KeyValuePair<ThumbnailOptions, string>> {
            new KeyValuePair<ThumbnailOptions, string>(new ThumbnailOptions { Width = 0, Height = 10 }, "thumbnail: width 0 out of range 1..4096"),
            new KeyValuePair<ThumbnailOptions, string>(new ThumbnailOptions { Width = 10, Height = 10, Quality = 0 }, "thumbnail: quality 0 out of range 1..100"),
            new KeyValuePair<ThumbnailOptions, string>(new ThumbnailOptions { Mode = (ThumbnailMode)9, Width = 10, Height = 10 }, "thumbnail: mode 9 out of range 0..4"),
            new KeyValuePair<ThumbnailOptions, string>(new ThumbnailOptions { Mode = ThumbnailMode.Aspect, Width = 10, Ratio = 4 }, "thumbnail: ratio 4 out of range 0..3"),
        };
        foreach (var c in cases) {
            string got = MessageOf(() => ImgThumbnail.Thumbnail(photo, Path.Combine(work, "never.png"), c.Key));
            Expect(got == c.Value, "expected \"" + c.Value + "\", got \"" + got + "\"");
        }
        string missing = Path.Combine(work, "missing.png");
        Expect(MessageOf(() => ImgThumbnail.Thumbnail(missing, same, new ThumbnailOptions { Width = 8, Height = 8 }))
               == "cannot decode '" + missing + "': can't fopen", "Thumbnail of a missing file");
        Expect(MessageOf(() => ImgThumbnail.Thumbnail(null, same, new ThumbnailOptions { Width = 8, Height = 8 }))
               == "thumbnail: NULL input/output", "Thumbnail of null");

        // Eight threads at once, with the seven functions' lock held all the
        // while: Thumbnail does not take it, and each thread's message is its own.
        string lone = Path.Combine(work, "lone.jpg");
        var box = new ThumbnailOptions { Mode = ThumbnailMode.Pad, Width = 70, Height = 50, Quality = 60, Background = 0x80808080 };
        ImgThumbnail.Thumbnail(photo, lone, box);
        byte[] expected = File.ReadAllBytes(lone);
        int wrong = 0;
        var threads = new List<Thread>();
        FieldInfo lockField = typeof(ImgThumbnail).GetField("CallLock", BindingFlags.NonPublic | BindingFlags.Static);
        object callLock = lockField != null ? lockField.GetValue(null) : new object();
        lock (callLock) {
            for (int t = 0; t < 8; t++) {
                int index = t;
                threads.Add(new Thread(() => {
                    for (int i = 0; i < 10; i++) {
                        string o = Path.Combine(work, "p" + index + "-" + i + ".jpg");
                        ImgThumbnail.Thumbnail(photo, o, box);
                        if (!File.ReadAllBytes(o).SequenceEqual(expected)) Interlocked.Increment(ref wrong);
                        int q = -(index * 1000 + i);
                        if (MessageOf(() => ImgThumbnail.Thumbnail(photo, o, new ThumbnailOptions { Width = 9, Height = 9, Quality = q }))
                            != "thumbnail: quality " + q + " out of range 1..100")
                            Interlocked.Increment(ref wrong);
                    }
                }));
            }
            foreach (var t in threads) t.Start();
            foreach (var t in threads) Expect(t.Join(60000), "a Thumbnail thread waited for the seven functions' lock");
        }
        Expect(wrong == 0, wrong + " Thumbnail calls in threads wrote other bytes or read another thread's message");
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

        TestThumbnail(work, photo);

        Console.WriteLine(failures == 0 ? "all .NET binding tests passed" : failures + " failed");
        return failures == 0 ? 0 : 1;
    }
}
